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

std::wstring EditControlLineBreaks(std::wstring_view text) {
    std::wstring result;
    result.reserve(text.size() + 4);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r')) {
            result += L'\r';
        }
        result += text[i];
    }
    return result;
}

} // namespace lumivex::hook
