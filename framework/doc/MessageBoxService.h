#pragma once

#include <string>

// Message box styles: one button set, optionally or-ed with one icon.
inline constexpr unsigned MB_OK = 0x00;
inline constexpr unsigned MB_YESNOCANCEL = 0x03;
inline constexpr unsigned MB_YESNO = 0x04;
inline constexpr unsigned MB_ICONSTOP = 0x10;
inline constexpr unsigned MB_ICONQUESTION = 0x20;
inline constexpr unsigned MB_ICONEXCLAMATION = 0x30;
inline constexpr unsigned MB_ICONINFORMATION = 0x40;
inline constexpr unsigned MB_BUTTONMASK = 0x0F;
inline constexpr unsigned MB_ICONMASK = 0xF0;
// The default button, when not the first: a question that drops or overwrites something
// defaults to its safe answer (No, or Cancel).
inline constexpr unsigned MB_DEFBUTTON2 = 0x100;
inline constexpr unsigned MB_DEFBUTTON3 = 0x200;
inline constexpr unsigned MB_DEFMASK = 0xF00;

// The button that closed a message box.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// Shows modal message boxes. Implemented on QMessageBox by the editor and by scripted recorders
// in the tests, so that nothing below the GUI ever blocks on a real dialog.
class IMessageBoxService {
public:
    virtual ~IMessageBoxService() = default;

    // Shows text under caption with the buttons and icon of type; returns the button chosen:
    // IDOK for MB_OK, IDYES or IDNO for MB_YESNO, IDYES, IDNO or IDCANCEL for MB_YESNOCANCEL
    // (closing the box counts as IDNO for MB_YESNO and as IDCANCEL for MB_YESNOCANCEL).
    virtual int Show(const std::string& text, const std::string& caption, unsigned type) = 0;
};
