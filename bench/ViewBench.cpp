// Times the editor form offscreen, in process: one keystroke in the text edit (OnChangeText, the
// refresh it causes and the repaint) and a switch between two resources (store when changed,
// load, refresh, repaint), each for resources of 10 and of 65,535 entries. Prints the medians
// beside the targets: a keystroke within 2 ms, a switch within 150 ms.
#include "document/TallyglassDoc.h"
#include "view/TallyglassView.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTextCursor>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

void PutU16BE(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

void PutU32BE(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

// A multilingual payload of one English record per entry, with a description.
std::vector<uint8_t> Payload(int entries, char tag) {
    std::vector<uint8_t> out = {0xFD, 0xFF, static_cast<uint8_t>(entries),
                                static_cast<uint8_t>(entries >> 8)};
    for (int i = 0; i < entries; ++i) {
        out.push_back(1);
        const std::string text = std::string(1, tag) + " string number " + std::to_string(i);
        out.insert(out.end(), text.begin(), text.end());
        out.push_back(0);
        const std::string description = "note " + std::to_string(i);
        out.insert(out.end(), description.begin(), description.end());
        out.push_back(0);
    }
    return out;
}

// An IFF file with two STR# resources of the given size, ids 1 and 2.
std::vector<uint8_t> File(int entries) {
    std::string header = "IFF FILE 2.5:TYPE FOLLOWED BY SIZE";
    header.resize(64, '\0');
    std::vector<uint8_t> out(header.begin(), header.end());
    for (uint16_t id = 1; id <= 2; ++id) {
        const std::vector<uint8_t> payload = Payload(entries, static_cast<char>('A' + id - 1));
        for (const char c : std::string("STR#"))
            out.push_back(static_cast<uint8_t>(c));
        PutU32BE(out, static_cast<uint32_t>(76 + payload.size()));
        PutU16BE(out, id);
        PutU16BE(out, 0);
        std::string name = "resource " + std::to_string(id);
        name.resize(64, '\0');
        out.insert(out.end(), name.begin(), name.end());
        out.insert(out.end(), payload.begin(), payload.end());
    }
    return out;
}

// Stops the program when the form does not show what the measured step should have produced,
// so that no figure is taken of a step that did nothing.
void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "bench_view: %s\n", what);
        std::exit(1);
    }
}

// The loaded resource is the one selected in the resource list, whole.
void RequireLoaded(const CTallyglassView& view, int entries) {
    const char tag =
        view.GetResourceList()->currentItem()->text().startsWith(QStringLiteral("#1:")) ? 'A' : 'B';
    std::string text;
    Require(view.IsLoaded() && view.Strings().GetCount() == static_cast<size_t>(entries) &&
                view.Strings().GetString(0, 0, 0, text) && !text.empty() && text[0] == tag,
            "the selected resource was not loaded");
}

double Median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

double TimeMs(const std::function<void()>& action) {
    const Clock::time_point start = Clock::now();
    action();
    // The repaint the action asked for belongs to its cost.
    QApplication::processEvents();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void Key(QWidget* widget, int key, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &release);
}

struct Figures {
    double keystroke = 0;
    double keystrokeSource = 0;  // typing another language with the source column shown
    double switchClean = 0;
    double switchChanged = 0;
};

Figures Measure(int entries, const std::string& folder) {
    const std::string path = folder + "/bench-" + std::to_string(entries) + ".iff";
    {
        const std::vector<uint8_t> bytes = File(entries);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    CTallyglassDoc doc;
    CTallyglassView view;
    doc.AddView(&view);
    view.show();
    if (!doc.OnOpenDocument(path)) {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
        std::exit(1);
    }
    doc.InitialUpdateAllViews();
    QApplication::processEvents();

    QTableView* list = view.GetStringList();
    const int row = entries / 2;
    list->selectRow(row);
    list->scrollTo(list->model()->index(row, 0));
    QPlainTextEdit* edit = view.GetTextEdit();
    edit->setFocus();
    edit->moveCursor(QTextCursor::End);
    QApplication::processEvents();

    Figures figures;
    std::vector<double> samples;
    for (int i = 0; i < 400; ++i) {
        // Type a letter, then take it back: every sample is one keystroke.
        samples.push_back(i % 2 == 0 ? TimeMs([&] { Key(edit, Qt::Key_X, QStringLiteral("x")); })
                                     : TimeMs([&] { Key(edit, Qt::Key_Backspace, QString()); }));
    }
    figures.keystroke = Median(samples);
    std::string typed;
    Require(view.IsChanged() && view.Strings().GetString(static_cast<uint16_t>(row), 0, 0, typed) &&
                typed == "A string number " + std::to_string(row),
            "the keystrokes did not reach the working copy");

    // UK English beside its US English source: the fourth column and the translation count.
    view.GetLanguageBox()->setCurrentIndex(1);
    QApplication::processEvents();
    Require(list->model()->columnCount() == 4, "the source column is not shown");
    list->selectRow(row);
    edit->setFocus();
    edit->moveCursor(QTextCursor::End);
    QApplication::processEvents();
    samples.clear();
    for (int i = 0; i < 400; ++i) {
        samples.push_back(i % 2 == 0 ? TimeMs([&] { Key(edit, Qt::Key_X, QStringLiteral("x")); })
                                     : TimeMs([&] { Key(edit, Qt::Key_Backspace, QString()); }));
    }
    figures.keystrokeSource = Median(samples);
    Require(view.TranslationSummary() ==
                QStringLiteral("0 of %1 translated").arg(QString::number(entries)),
            "the translation summary is not kept");
    view.GetLanguageBox()->setCurrentIndex(0);
    list->selectRow(row);
    QApplication::processEvents();

    QListWidget* resources = view.GetResourceList();
    // The first switch stores the keystrokes above.
    samples.clear();
    for (int i = 0; i < 9; ++i) {
        Key(edit, Qt::Key_X, QStringLiteral("x"));
        samples.push_back(TimeMs([&] { resources->setCurrentRow(1 - resources->currentRow()); }));
        RequireLoaded(view, entries);
        Require(!view.IsChanged(), "the edit was not stored");
        list->selectRow(row);
        QApplication::processEvents();
    }
    figures.switchChanged = Median(samples);
    samples.clear();
    for (int i = 0; i < 15; ++i) {
        samples.push_back(TimeMs([&] { resources->setCurrentRow(1 - resources->currentRow()); }));
        RequireLoaded(view, entries);
    }
    figures.switchClean = Median(samples);
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);

    std::string folder = (std::filesystem::temp_directory_path() / "tg-bench-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr)
        return 1;
    const Figures small = Measure(10, folder);
    const Figures large = Measure(65535, folder);
    std::filesystem::remove_all(folder);

    std::printf("Editor form, offscreen, medians in milliseconds (repaint included)\n");
    std::printf("%-34s %12s %16s %10s\n", "", "10 entries", "65,535 entries", "target");
    std::printf("%-34s %12.3f %16.3f %10s\n", "keystroke in the text edit", small.keystroke,
                large.keystroke, "2");
    std::printf("%-34s %12.3f %16.3f %10s\n", "keystroke, source column shown",
                small.keystrokeSource, large.keystrokeSource, "2");
    std::printf("%-34s %12.3f %16.3f %10s\n", "switch between two resources", small.switchClean,
                large.switchClean, "150");
    std::printf("%-34s %12.3f %16.3f %10s\n", "switch after an edit (with store)",
                small.switchChanged, large.switchChanged, "150");
    const bool met = large.keystroke <= 2.0 && large.keystrokeSource <= 2.0 &&
                     large.switchClean <= 150.0 && large.switchChanged <= 150.0;
    std::printf("%s\n", met ? "targets met" : "TARGETS MISSED");
    return 0;
}
