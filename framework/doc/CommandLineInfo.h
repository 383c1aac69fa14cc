#pragma once

#include <string>
#include <vector>

// The editor's own command line: switches begin with '-' or '/', every other argument is a
// parameter. The first parameter names a file; a second one is ignored (print-to takes printer,
// driver and port from the second to fourth).
//
// On this platform an absolute path begins with '/', so an argument beginning with '/' is a
// switch only when the rest holds no further '/' and it names nothing on disk: "/p", "/dde" and
// "/Unregister" are switches, "/home/me/file.iff" and an existing "/file.iff" are files.
class CCommandLineInfo {
public:
    enum ShellCommand { FileNew, FileOpen, FilePrint, FilePrintTo, FileDDE, AppUnregister };

    // Parses the arguments after the program name (argv[1]...).
    void ParseCommandLine(const std::vector<std::string>& args);
    void ParseCommandLine(int argc, const char* const* argv);

    // One argument: flag is the switch name without its '-' or '/', last marks the final one.
    void ParseParam(const std::string& param, bool flag, bool last);

    ShellCommand m_nShellCommand = FileNew;
    std::string m_strFileName;
    std::string m_strPrinterName;
    std::string m_strDriverName;
    std::string m_strPortName;
    bool m_bRunEmbedded = false;   // "Embedding": suppresses the unregister messages
    bool m_bRunAutomated = false;  // "Automation": recorded only

private:
    void ParseParamFlag(const std::string& param);
    void ParseParamNotFlag(const std::string& param);
    void ParseLast(bool last);
};
