#include "controller/core_paths.h"

namespace lumivex {

std::optional<std::wstring> JoinWithin(std::wstring_view folder, std::wstring_view name,
                                       std::size_t capacity) {
    if (capacity == 0 || folder.size() >= capacity || name.size() >= capacity - folder.size()) {
        return std::nullopt;
    }
    std::wstring path;
    path.reserve(folder.size() + name.size());
    path.append(folder);
    path.append(name);
    return path;
}

} // namespace lumivex
