#pragma once

#include <deque>
#include <initializer_list>
#include <string>
#include <vector>

#include "framework/doc/MessageBoxService.h"

// A message-box service for tests: records every box shown and answers from a script. With the
// script exhausted it answers IDOK for MB_OK boxes, IDNO for Yes/No and IDCANCEL for
// Yes/No/Cancel, and counts the box as unexpected when it was a question.
class RecordingMessageBox : public IMessageBoxService {
public:
    struct Shown {
        std::string text;
        std::string caption;
        unsigned type;
    };

    int Show(const std::string& text, const std::string& caption, unsigned type) override {
        shown.push_back({text, caption, type});
        const unsigned buttons = type & MB_BUTTONMASK;
        if (!answers.empty()) {
            const int answer = answers.front();
            answers.pop_front();
            return answer;
        }
        if (buttons == MB_OK) {
            return IDOK;
        }
        ++unexpectedQuestions;
        return buttons == MB_YESNO ? IDNO : IDCANCEL;
    }

    // Queues the answers of the next questions (IDYES, IDNO, IDCANCEL, IDOK).
    void Answer(std::initializer_list<int> next) { answers.insert(answers.end(), next); }

    [[nodiscard]] const Shown* Last() const { return shown.empty() ? nullptr : &shown.back(); }
    [[nodiscard]] std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& box : shown) {
            texts.push_back(box.text);
        }
        return texts;
    }
    void Clear() {
        shown.clear();
        answers.clear();
        unexpectedQuestions = 0;
    }

    std::vector<Shown> shown;
    std::deque<int> answers;
    int unexpectedQuestions = 0;
};
