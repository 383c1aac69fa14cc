#pragma once

#include <optional>
#include <string>
#include <vector>

// One entry of a file dialog's type list, e.g. {"IFF Files (*.iff)", "*.iff"}.
struct FileDialogFilter {
    std::string name;
    std::string pattern;
};

// What a file dialog is asked to do. The first filter is selected at first; the default
// extension (without dot) is added to a chosen name that has none.
struct FileDialogRequest {
    enum Kind { open, saveAs, folder };

    Kind kind = open;
    std::string title;         // "Open" or "Save As"
    std::string proposedName;  // Save As: the path or name shown at first
    std::vector<FileDialogFilter> filters;
    std::string defaultExtension;  // "iff"
    // open: only existing files are accepted. saveAs: the folder must exist, and choosing an
    // existing file is confirmed by an overwrite question first. folder: an existing folder
    // (filters and extension unused).
};

// Runs the Open and Save As dialogs. Implemented on QFileDialog by the editor and by scripted
// recorders in the tests.
class IFileDialogService {
public:
    virtual ~IFileDialogService() = default;

    // Runs the dialog; the chosen path (absolute), or nothing when the user cancelled.
    virtual std::optional<std::string> Run(const FileDialogRequest& request) = 0;
};
