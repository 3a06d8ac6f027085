// Pure label and row rules of the switcher, tested without a server.
#pragma once
