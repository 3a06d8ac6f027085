// A window whose record or title cannot be allocated gets no button, and
// nothing is left behind on the server or in the list.
#include "records_in_process.hpp"

#include <cstdlib>
#include <new>

namespace {

// Per thread, so the window manager stand-in's thread never sees a refusal.
enum class Refuse { Nothing, ThrowingNew, EveryNew };
thread_local Refuse refuse = Refuse::Nothing;

void* allocate(std::size_t size)
{
    return std::malloc(size ? size : 1);
}

}  // namespace

void* operator new(std::size_t size)
{
    void* block = refuse == Refuse::Nothing ? allocate(size) : nullptr;
    if (!block)
        throw std::bad_alloc();
    return block;
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return refuse == Refuse::EveryNew ? nullptr : allocate(size);
}

// These blocks come from malloc above, whatever the compiler assumes.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void operator delete(void* block) noexcept
{
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept
{
    std::free(block);
}

namespace {

class OutOfMemory : public RecordsInProcess {
protected:
    // A client with a title too long for in-place storage and a hinted icon.
    Window client(kit_test::TextValue name)
    {
        kit_test::ClientSetup setup;
        setup.name = std::move(name);
        setup.wm_hints = kit_test::WmHintsSetup{};
        setup.wm_hints->icon = wm->create_solid_pixmap(32, 32, ds.depth, 3);
        return wm->create_client(setup);
    }

    void track_refusing(Refuse what, Window window)
    {
        refuse = what;
        track_window(panel, window, 0);
        refuse = Refuse::Nothing;
    }
};

const std::string long_title(64, 'x');

TEST_F(OutOfMemory, a_record_that_cannot_be_allocated_means_no_button)
{
    const Window window = client(kit_test::string_text(long_title));
    const int pixmaps = panel_pixmaps();
    track_refusing(Refuse::EveryNew, window);
    EXPECT_EQ(panel.first_client, nullptr);
    EXPECT_EQ(panel.client_count, 0);
    EXPECT_EQ(panel_pixmaps(), pixmaps);

    track_window(panel, window, 0);  // memory back: the window is listed
    EXPECT_NE(find_tracked(panel, window), nullptr);
}

TEST_F(OutOfMemory, a_title_that_cannot_be_copied_means_no_button)
{
    const int pixmaps = panel_pixmaps();
    for (const auto& name :
         {kit_test::string_text(long_title), kit_test::compound_text(long_title)}) {
        const Window window = client(name);
        track_refusing(Refuse::ThrowingNew, window);
        EXPECT_EQ(find_tracked(panel, window), nullptr);
        EXPECT_EQ(panel.client_count, 0);

        bool out_of_memory = false;
        refuse = Refuse::ThrowingNew;
        const auto title = read_title(window, &out_of_memory);
        refuse = Refuse::Nothing;
        EXPECT_TRUE(out_of_memory);
        EXPECT_FALSE(title.has_value());
    }
    EXPECT_EQ(panel_pixmaps(), pixmaps);
}

}  // namespace
