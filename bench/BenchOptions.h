#pragma once

// "--name value" pairs on a benchmark's command line, each read into the setting it names; a
// yes-or-no setting is a flag without a value.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <type_traits>
#include <variant>

namespace Bench {

struct Option {
    const char* name;
    std::variant<int*, long*, double*, std::string*, bool*> setting;
};

inline void readOptions(int argc, char** argv, std::initializer_list<Option> options)
{
    for (int i = 1; i < argc; i += 2) {
        const Option* match = nullptr;
        for (const Option& option : options)
            if (std::strcmp(argv[i], option.name) == 0)
                match = &option;
        if (match && std::holds_alternative<bool*>(match->setting)) {
            *std::get<bool*>(match->setting) = true;
            --i;
            continue;
        }
        if (!match || i + 1 == argc) {
            std::fprintf(stderr, "%s %s\n", match ? "no value for" : "unknown option", argv[i]);
            std::exit(2);
        }
        const char* value = argv[i + 1];
        std::visit(
            [value](auto* setting) {
                using Value = std::remove_pointer_t<decltype(setting)>;
                if constexpr (std::is_same_v<Value, std::string>)
                    *setting = value;
                else if constexpr (std::is_same_v<Value, double>)
                    *setting = std::atof(value);
                else
                    *setting = static_cast<Value>(std::atol(value));
            },
            match->setting);
    }
}

} // namespace Bench
