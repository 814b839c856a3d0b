#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace brenzo::testing {

// The answers a window test gives its dialogs, in order, each of which may first look at the
// window while it is asked; `Text` is the toolkit's string. No answer left means "cancelled".
template <class Text>
class ScriptedAnswers {
public:
    struct Answer {
        std::optional<Text> value;
        std::function<void()> whileAsked;
    };
    std::deque<Answer> answers;
    std::vector<Text> asked;

protected:
    std::optional<Text> next(Text what) {
        asked.push_back(std::move(what));
        if (answers.empty()) return std::nullopt;
        Answer a = answers.front();
        answers.pop_front();
        if (a.whileAsked) a.whileAsked();
        return a.value;
    }
    // The next of the yes/no answers; "no" when none is left.
    static bool take(std::deque<bool>& queue) {
        if (queue.empty()) return false;
        const bool a = queue.front();
        queue.pop_front();
        return a;
    }
};

}  // namespace brenzo::testing
