#include "host_options.h"

#include <algorithm>
#include <cwchar>
#include <optional>

namespace lumivex::browserhost {

namespace {

std::optional<int> ParseInt(const std::wstring& text, int low, int high) {
    if (text.empty() || text.size() > 9) {
        return std::nullopt;
    }
    int value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return std::nullopt;
        }
        value = value * 10 + (c - L'0');
    }
    if (value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

// Splits "a,b" at the first comma; `second` is empty without one.
void SplitPair(const std::wstring& text, std::wstring& first, std::wstring& second,
               bool& hasComma) {
    size_t comma = text.find(L',');
    hasComma = comma != std::wstring::npos;
    first = text.substr(0, comma);
    second = hasComma ? text.substr(comma + 1) : std::wstring();
}

bool ValidIndex(int index, const HostOptions& options) {
    return (index >= 0 && index < options.browsers) ||
           (index == kSecondThreadBrowserIndex && options.secondThread);
}

} // namespace

bool HostOptions::IsInvisible(int index) const {
    return std::find(invisible.begin(), invisible.end(), index) != invisible.end();
}

bool HostOptions::IsSlow(int index) const {
    return slowDocumentMs > 0 && (slowDocumentIndex < 0 || slowDocumentIndex == index);
}

OptionsResult ParseHostOptions(const std::vector<std::wstring>& args) {
    OptionsResult result;
    HostOptions& o = result.options;
    auto fail = [&result](const std::wstring& arg, const wchar_t* why) {
        if (result.error.empty()) {
            result.error = arg + L": " + why;
        }
    };
    for (const std::wstring& arg : args) {
        if (arg.rfind(L"--", 0) != 0) {
            fail(arg, L"not a switch");
            continue;
        }
        size_t equals = arg.find(L'=');
        const std::wstring name = arg.substr(2, equals == std::wstring::npos ? equals : equals - 2);
        const bool hasValue = equals != std::wstring::npos;
        const std::wstring value = hasValue ? arg.substr(equals + 1) : std::wstring();
        auto set = [&](int& target, std::optional<int> parsed, const wchar_t* why) {
            if (parsed) {
                target = *parsed;
            } else {
                fail(arg, why);
            }
        };
        if (name == L"second-thread") {
            if (hasValue) {
                fail(arg, L"takes no value");
            }
            o.secondThread = true;
            continue;
        }
        if (!hasValue) {
            fail(arg, L"needs a value");
            continue;
        }
        if (name == L"log") {
            o.logPath = value;
            if (value.empty()) {
                fail(arg, L"needs a path");
            }
        } else if (name == L"browsers") {
            std::optional<int> n = ParseInt(value, 0, kMaxBrowsers);
            set(o.browsers, n, L"needs a count from 0 to 16");
        } else if (name == L"range") {
            std::wstring low, high;
            bool comma = false;
            SplitPair(value, low, high, comma);
            std::optional<int> min = ParseInt(low, 1, 0xFFFF);
            std::optional<int> max = ParseInt(high, 1, 0xFFFF);
            if (!comma || !min || !max || *min > *max) {
                fail(arg, L"needs MIN,MAX with 1 <= MIN <= MAX <= 65535");
            } else {
                o.minZoom = *min;
                o.maxZoom = *max;
            }
        } else if (name == L"range-answers") {
            std::optional<int> n = ParseInt(value, 0, 1000000);
            set(o.rangeAnswers, n, L"needs a count from 0 to 1000000");
        } else if (name == L"class") {
            o.className = value;
            if (value.empty() || value.size() > 255) {
                fail(arg, L"needs a class name of 1 to 255 characters");
            }
        } else if (name == L"slow-document") {
            std::wstring ms, index;
            bool comma = false;
            SplitPair(value, ms, index, comma);
            std::optional<int> delay = ParseInt(ms, 1, 60000);
            std::optional<int> which = comma ? ParseInt(index, 0, 1000) : std::optional<int>(-1);
            if (!delay || !which) {
                fail(arg, L"needs MS (1 to 60000) and optionally ,INDEX");
            } else {
                o.slowDocumentMs = *delay;
                o.slowDocumentIndex = *which;
            }
        } else if (name == L"invisible") {
            int index = -1;
            set(index, ParseInt(value, 0, 1000), L"needs a browser index");
            if (index >= 0) {
                o.invisible.push_back(index);
            }
        } else if (name == L"load") {
            o.loadPath = value;
            if (value.empty()) {
                fail(arg, L"needs a path");
            }
        } else if (name == L"title") {
            o.title = value;
        } else if (name == L"selftest") {
            std::optional<int> index = ParseInt(value, 0, 1000);
            set(o.selfTestIndex, index, L"needs a browser index");
        } else if (name == L"exit-after") {
            std::optional<int> ms = ParseInt(value, 1, 3600000);
            set(o.exitAfterMs, ms, L"needs MS from 1 to 3600000");
        } else {
            fail(arg, L"unknown switch");
        }
    }
    // Indices can only be checked once the browser count and the second thread are known.
    for (int index : o.invisible) {
        if (!ValidIndex(index, o)) {
            fail(L"--invisible=" + std::to_wstring(index), L"no such browser");
        }
    }
    if (o.slowDocumentIndex >= 0 && !ValidIndex(o.slowDocumentIndex, o)) {
        fail(L"--slow-document", L"no such browser");
    }
    if (o.selfTestIndex >= 0 && !ValidIndex(o.selfTestIndex, o)) {
        fail(L"--selftest", L"no such browser");
    }
    return result;
}

} // namespace lumivex::browserhost
