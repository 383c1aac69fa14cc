#include "tests/app/AppFixture.h"

#include "app/MainFrame.h"
#include "app/Resource.h"

#include <QCoreApplication>
#include <QDialog>
#include <QFile>

#include <fstream>
#include <iterator>
#include <tuple>

namespace {

void PutU16BE(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

void PutU32BE(std::vector<uint8_t>& out, uint32_t v) {
    PutU16BE(out, static_cast<uint16_t>(v >> 16));
    PutU16BE(out, static_cast<uint16_t>(v));
}

}  // namespace

std::vector<uint8_t> BuildIff(const std::vector<TestResource>& resources) {
    std::vector<uint8_t> out;
    const std::string signature("IFF FILE 2.0:TYPE FOLLOWED BY SIZE\0 JAMIE DOORNBOS & MAXIS 1",
                                60);
    out.insert(out.end(), signature.begin(), signature.end());
    out.resize(64, 0);
    for (const TestResource& resource : resources) {
        // Plain layout: FF FF, the count little-endian, then each text with its NUL.
        std::vector<uint8_t> payload{0xFF, 0xFF, static_cast<uint8_t>(resource.strings.size()),
                                     static_cast<uint8_t>(resource.strings.size() >> 8)};
        for (const std::string& text : resource.strings) {
            payload.insert(payload.end(), text.begin(), text.end());
            payload.push_back(0);
        }
        PutU32BE(out, 0x53545223);  // STR#
        PutU32BE(out, static_cast<uint32_t>(76 + payload.size()));
        PutU16BE(out, resource.id);
        PutU16BE(out, 0);
        std::vector<uint8_t> name(64, 0);
        std::copy_n(resource.name.begin(), std::min<size_t>(resource.name.size(), 63),
                    name.begin());
        out.insert(out.end(), name.begin(), name.end());
        out.insert(out.end(), payload.begin(), payload.end());
    }
    return out;
}

void AppFixture::SetUp() {
    ASSERT_TRUE(m_dir.isValid());
    // Recent-file labels show bare names for files in the current folder.
    m_oldCurrent = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(m_dir.path()));
    ASSERT_TRUE(CTallyglassApp::RemoveSettingsProfile());
}

void AppFixture::TearDown() {
    m_pApp.reset();
    m_pProfile.reset();
    QDir::setCurrent(m_oldCurrent);
    std::ignore = CTallyglassApp::RemoveSettingsProfile();
}

std::string AppFixture::Path(const std::string& name) const {
    return QFile::encodeName(m_dir.filePath(QFile::decodeName(name.c_str()))).toStdString();
}

std::string AppFixture::WriteFile(const std::string& name,
                                  const std::vector<uint8_t>& bytes) const {
    const std::string path = Path(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::string AppFixture::WriteIffFile(const std::string& name) const {
    return WriteFile(name, BuildIff({{128, "Greetings", {"Hello", "Goodbye"}},
                                     {300, "Menu", {"Open", "Save", "Quit"}}}));
}

std::vector<uint8_t> AppFixture::ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool AppFixture::Start(const std::vector<std::string>& args) {
    m_pApp.reset();
    m_pProfile = std::make_unique<CSettingsProfile>();
    std::function<bool()> removeProfile;
    if (m_removeProfileResult.has_value()) {
        removeProfile = [this] { return *m_removeProfileResult; };
    }
    CTallyglassApp::Services services{m_messages, m_dialogs, *m_pProfile, removeProfile,
                                      [this](QDialog& dialog) {
                                          ++m_nModalRuns;
                                          if (m_runModal)
                                              m_runModal(dialog);
                                      }};
    m_pApp = std::make_unique<CTallyglassApp>(services);
    return m_pApp->InitInstance(args);
}

void AppFixture::Stop() {
    m_pApp->ExitInstance();
    m_pApp.reset();
    m_pProfile.reset();
}

void AppFixture::Command(int id) {
    m_pApp->OnCommand(id);
}

void AppFixture::OpenViaDialog(const std::string& path) {
    m_dialogs.Answer(path);
    Command(ID_FILE_OPEN);
}

QString AppFixture::Title() const {
    return m_pApp->GetMainFrame()->windowTitle();
}
