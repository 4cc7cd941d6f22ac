#pragma once
// A form's window names its controls and menu items once, in a table of (id, design name),
// and routes by id; these answer both ways and check the table against the design.
#include <cstddef>
#include <stdexcept>
#include <string>
#include <utility>

#include "platform/form_design.h"

namespace ch::gui {

template <typename Id, size_t N> using ControlNames = std::pair<Id, const char*>[N];

template <typename Id, size_t N> const char* nameOf(const ControlNames<Id, N>& names, Id id) {
    for (const auto& [known, name] : names)
        if (known == id)
            return name;
    return "";
}

template <typename Id, size_t N>
Id idOf(const ControlNames<Id, N>& names, const std::string& name) {
    for (const auto& [id, known] : names)
        if (name == known)
            return id;
    return Id::None;
}

// Throws, naming the missing row after `problem`, when the design has no control or menu
// item of a name in the table: a programming error the tests catch, never a user's.
template <typename Id, size_t N>
void requireInDesign(const FormDesign& design, const ControlNames<Id, N>& names,
                     const char* problem) {
    for (const auto& [id, name] : names) {
        bool found = design.find(name) != nullptr;
        for (const MenuDesign& menu : design.menus)
            found = found || menu.name == name;
        if (!found)
            throw std::logic_error(problem + std::string(name));
    }
}

} // namespace ch::gui
