#include "hooklib/prompt_text.h"

namespace lumivex::hook {

std::wstring FormatPromptText(std::wstring_view format, std::wstring_view name) {
    std::wstring text;
    text.reserve(format.size() + name.size());
    for (std::size_t i = 0; i < format.size(); ++i) {
        const wchar_t next = i + 1 < format.size() ? format[i + 1] : L'\0';
        if (format[i] == L'%' && next == L's') {
            text += name;
            ++i;
        } else if (format[i] == L'%' && next == L'%') {
            text += L'%';
            ++i;
        } else {
            text += format[i];
        }
    }
    return text;
}

} // namespace lumivex::hook
