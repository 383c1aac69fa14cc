// The editor's entry point: the toolkit takes its own options (-platform, -style...) first, the
// application gets the rest.
#include "app/TallyglassApp.h"
#include "framework/ui/QtFileDialogService.h"
#include "framework/ui/QtMessageBoxService.h"
#include "framework/ui/SettingsProfile.h"

#include <QApplication>

#include <string>
#include <vector>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    CTallyglassApp::SetUpApplicationObject();

    CQtMessageBoxService messages;
    CQtFileDialogService dialogs;
    CSettingsProfile profile;
    CTallyglassApp app({messages, dialogs, profile, {}});

    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (!app.InitInstance(args)) {
        app.ExitInstance();
        return app.GetStartupExitCode();
    }
    messages.SetParent(app.GetMainFrame());
    dialogs.SetParent(app.GetMainFrame());
    const int result = application.exec();
    app.ExitInstance();
    return result;
}
