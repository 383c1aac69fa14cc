#pragma once

#include "framework/ui/DialogUnits.h"

#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

#include <vector>

class CDataExchange;
class QComboBox;

// A form built from a dialog template: controls placed from their dialog-unit rectangles, and
// values bound to controls through DoDataExchange and moved by UpdateData. The form is laid out
// again when its font changes, so it keeps its arrangement at any font size. Made larger than
// its template, it gives the extra room to the controls anchored to take it; at the template's
// size (or smaller) every control stands where the template puts it.
class CFormView : public QWidget {
    Q_OBJECT

public:
    // templateSize is the form's size in dialog units.
    CFormView(int templateId, QSize templateSize, QWidget* parent = nullptr);
    ~CFormView() override;

    [[nodiscard]] int GetTemplateId() const { return m_nTemplateId; }

    // true: the controls' states into the values; false: the values into the controls, with the
    // controls' signals blocked. Returns false when a binding named a missing control.
    bool UpdateData(bool saveAndValidate = true);

    // The control with this id, or null.
    [[nodiscard]] QWidget* GetDlgItem(int id) const;
    // The id a control was added with; 0 for none.
    [[nodiscard]] static int GetControlId(const QWidget* control);

    [[nodiscard]] CDialogUnits GetDialogUnits() const { return CDialogUnits(font()); }
    // The template's size in pixels for the current font.
    [[nodiscard]] QSize GetFormSize() const;
    // Sizes the window holding the form so that the whole form just fits, growing or (with
    // shrink) shrinking.
    void ResizeParentToFit(bool shrink = true);

    [[nodiscard]] QSize sizeHint() const override { return GetFormSize(); }
    // Below its template's size the form would cut its controls.
    [[nodiscard]] QSize minimumSizeHint() const override { return GetFormSize(); }

    // What a control does with the room beyond the template's size: take it in width or height,
    // or move right or down by it. Controls without anchors keep their place and size.
    enum Anchor : unsigned {
        anchorNone = 0,
        growWidth = 1,
        growHeight = 2,
        moveRight = 4,
        moveDown = 8,
    };
    void SetAnchor(QWidget* control, unsigned anchors);
    // For controls that share the extra height: moves down by move sixths of it and grows by
    // grow sixths (instead of moveDown and growHeight).
    void SetHeightShare(QWidget* control, int move, int grow);

    // The dynamic property that holds a control's id.
    static constexpr const char* kControlIdProperty = "controlId";

protected:
    // Binds each value to its control; called by UpdateData in the transfer's direction.
    virtual void DoDataExchange(CDataExchange& dx) = 0;

    // Makes control a child of the form at its dialog-unit rectangle (x, y, width, height) and
    // records id and name. Check boxes, radio buttons and labels are widened to their caption
    // when the font needs more room than the template gives (unless their horizontal size
    // policy is Ignored). Returns control.
    template <class T>
    T* AddControl(T* control, int id, const QRect& units, const QString& name) {
        Place(control, id, units, name);
        return control;
    }

    // A drop-down list: units give its height when dropped; closed it is as high as its style
    // wants, and the dropped part shows as many entries as fit.
    QComboBox* AddDropDown(QComboBox* box, int id, const QRect& units, const QString& name);

    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct PlacedControl {
        QPointer<QWidget> widget;
        int id;
        QRect units;
        bool dropDown;
        unsigned anchors = anchorNone;
        int moveSixths = 0;
        int growSixths = 0;
    };

    void Place(QWidget* control, int id, const QRect& units, const QString& name,
               bool dropDown = false);
    // extra: the room beyond the template's size.
    static void SetGeometry(const PlacedControl& placed, const CDialogUnits& units, QSize extra);
    void PlaceControls();

    int m_nTemplateId;
    QSize m_templateSize;
    std::vector<PlacedControl> m_controls;
};
