#include "demo_commands.h"

namespace lumivex::demo {

namespace {

enum class Argument { None, Number, Text };

struct Verb {
    const wchar_t* word;
    Step step;
    Argument argument;
};

constexpr Verb kVerbs[] = {
    {L"wait-main", Step::WaitMain, Argument::Number},
    {L"wait-shown", Step::WaitShown, Argument::Number},
    {L"about", Step::About, Argument::None},
    {L"programs", Step::Programs, Argument::None},
    {L"tray-menu", Step::TrayMenu, Argument::None},
    {L"close-menu", Step::CloseMenu, Argument::None},
    {L"language", Step::Language, Argument::Number},
    {L"no-prompt", Step::NoPrompt, Argument::Text},
    {L"wait-host", Step::WaitHost, Argument::Number},
    {L"focus-page", Step::FocusPage, Argument::None},
    {L"zoom-in", Step::ZoomIn, Argument::Number},
    {L"zoom", Step::Zoom, Argument::None},
    {L"quit-host", Step::QuitHost, Argument::None},
    {L"exit", Step::Exit, Argument::None},
};

const Verb* FindVerb(const std::wstring& word) {
    for (const Verb& verb : kVerbs) {
        if (word == verb.word) {
            return &verb;
        }
    }
    return nullptr;
}

// Decimal digits only, at most nine of them: times, language ids and step counts.
std::optional<long long> ParseNumber(const std::wstring& text) {
    if (text.empty() || text.size() > 9) {
        return std::nullopt;
    }
    long long value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return std::nullopt;
        }
        value = value * 10 + (c - L'0');
    }
    return value;
}

} // namespace

std::optional<std::vector<Command>> ParseCommands(const std::vector<std::wstring>& words,
                                                  std::wstring& error) {
    std::vector<Command> commands;
    for (size_t i = 0; i < words.size(); ++i) {
        const Verb* verb = FindVerb(words[i]);
        if (!verb) {
            error = L"unknown step \"" + words[i] + L"\"";
            return std::nullopt;
        }
        Command command;
        command.step = verb->step;
        if (verb->argument != Argument::None) {
            if (i + 1 >= words.size()) {
                error = std::wstring(verb->word) + L" needs an argument";
                return std::nullopt;
            }
            const std::wstring& argument = words[++i];
            if (verb->argument == Argument::Text) {
                command.text = argument;
            } else if (std::optional<long long> number = ParseNumber(argument)) {
                command.number = *number;
            } else {
                error = std::wstring(verb->word) + L": \"" + argument + L"\" is no number";
                return std::nullopt;
            }
        }
        commands.push_back(std::move(command));
    }
    if (commands.empty()) {
        error = L"no steps given";
        return std::nullopt;
    }
    return commands;
}

} // namespace lumivex::demo
