#include "framework/doc/CommandLineInfo.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>

namespace {

bool EqualsIgnoringCase(const std::string& a, const char* b) {
    const std::string other(b);
    return a.size() == other.size() &&
           std::equal(a.begin(), a.end(), other.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// A '/' argument is a path, not a switch, when it has a further '/' or names something on disk.
bool LooksLikePath(const std::string& arg) {
    if (arg.find('/', 1) != std::string::npos) {
        return true;
    }
    struct stat st {};
    return ::stat(arg.c_str(), &st) == 0;
}

}  // namespace

void CCommandLineInfo::ParseCommandLine(const std::vector<std::string>& args) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool last = i + 1 == args.size();
        const bool flag = !arg.empty() && (arg[0] == '-' || (arg[0] == '/' && !LooksLikePath(arg)));
        ParseParam(flag ? arg.substr(1) : arg, flag, last);
    }
}

void CCommandLineInfo::ParseCommandLine(int argc, const char* const* argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.emplace_back(argv[i]);
    }
    ParseCommandLine(args);
}

void CCommandLineInfo::ParseParam(const std::string& param, bool flag, bool last) {
    if (flag) {
        ParseParamFlag(param);
    } else {
        ParseParamNotFlag(param);
    }
    ParseLast(last);
}

void CCommandLineInfo::ParseParamFlag(const std::string& param) {
    if (param == "pt") {
        m_nShellCommand = FilePrintTo;
    } else if (param == "p") {
        m_nShellCommand = FilePrint;
    } else if (EqualsIgnoringCase(param, "Unregister") ||
               EqualsIgnoringCase(param, "Unregserver")) {
        m_nShellCommand = AppUnregister;
    } else if (param == "dde") {
        m_nShellCommand = FileDDE;
    } else if (EqualsIgnoringCase(param, "Embedding")) {
        m_bRunEmbedded = true;
    } else if (EqualsIgnoringCase(param, "Automation")) {
        m_bRunAutomated = true;
    }
}

void CCommandLineInfo::ParseParamNotFlag(const std::string& param) {
    if (m_strFileName.empty()) {
        m_strFileName = param;
    } else if (m_nShellCommand == FilePrintTo && m_strPrinterName.empty()) {
        m_strPrinterName = param;
    } else if (m_nShellCommand == FilePrintTo && m_strDriverName.empty()) {
        m_strDriverName = param;
    } else if (m_nShellCommand == FilePrintTo && m_strPortName.empty()) {
        m_strPortName = param;
    }
}

void CCommandLineInfo::ParseLast(bool last) {
    if (last && m_nShellCommand == FileNew && !m_strFileName.empty()) {
        m_nShellCommand = FileOpen;
    }
}
