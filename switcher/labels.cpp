#include "labels.hpp"
