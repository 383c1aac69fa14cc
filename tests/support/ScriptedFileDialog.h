#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "framework/doc/FileDialogService.h"

// A file-dialog service for tests: records each request and answers from a script; an empty
// script (or a queued std::nullopt) answers Cancel.
class ScriptedFileDialog : public IFileDialogService {
public:
    std::optional<std::string> Run(const FileDialogRequest& request) override {
        requests.push_back(request);
        if (answers.empty()) {
            return std::nullopt;
        }
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }

    void Answer(std::optional<std::string> path) { answers.push_back(std::move(path)); }

    std::vector<FileDialogRequest> requests;
    std::deque<std::optional<std::string>> answers;
};
