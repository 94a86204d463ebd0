#pragma once

#include <string_view>

class ColourPickers {
public:
    // Registers the library's classes with the current device environment.
    static void install();
    // Whether the library has a class of this name.
    static bool hasClass(std::string_view name);
};
