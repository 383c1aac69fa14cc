#include "framework/ui/FormView.h"

#include "framework/ui/DataExchange.h"

#include <QComboBox>
#include <QEvent>
#include <QLayout>
#include <QResizeEvent>
#include <QVariant>

#include <algorithm>

CFormView::CFormView(int templateId, QSize templateSize, QWidget* parent)
    : QWidget(parent), m_nTemplateId(templateId), m_templateSize(templateSize) {}

CFormView::~CFormView() = default;

bool CFormView::UpdateData(bool saveAndValidate) {
    CDataExchange dx(saveAndValidate);
    DoDataExchange(dx);
    return !dx.Failed();
}

QWidget* CFormView::GetDlgItem(int id) const {
    if (id == 0)
        return nullptr;
    for (const PlacedControl& placed : m_controls) {
        if (placed.id == id)
            return placed.widget;
    }
    return nullptr;
}

int CFormView::GetControlId(const QWidget* control) {
    return control != nullptr ? control->property(kControlIdProperty).toInt() : 0;
}

QSize CFormView::GetFormSize() const {
    return GetDialogUnits().MapSize(m_templateSize);
}

void CFormView::ResizeParentToFit(bool shrink) {
    QWidget* frame = window();
    const auto fit = [shrink](QWidget* widget, QSize size) {
        widget->resize(shrink ? size : size.expandedTo(widget->size()));
    };
    if (frame == this) {
        fit(this, GetFormSize());
        return;
    }
    // The frame's layout must have placed the form before the frame's extra space can be measured.
    if (QLayout* layout = frame->layout())
        layout->activate();
    const QSize extra = frame->size() - size();
    fit(frame, GetFormSize() + extra);
}

void CFormView::SetAnchor(QWidget* control, unsigned anchors) {
    for (PlacedControl& placed : m_controls) {
        if (placed.widget == control)
            placed.anchors = anchors;
    }
    PlaceControls();
}

void CFormView::SetHeightShare(QWidget* control, int move, int grow) {
    for (PlacedControl& placed : m_controls) {
        if (placed.widget == control) {
            placed.moveSixths = move;
            placed.growSixths = grow;
        }
    }
    PlaceControls();
}

void CFormView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceControls();
}

void CFormView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        PlaceControls();
        updateGeometry();
    }
    QWidget::changeEvent(event);
}

QComboBox* CFormView::AddDropDown(QComboBox* box, int id, const QRect& units, const QString& name) {
    Place(box, id, units, name, true);
    return box;
}

void CFormView::Place(QWidget* control, int id, const QRect& units, const QString& name,
                      bool dropDown) {
    control->setParent(this);
    control->setObjectName(name);
    if (id != 0)
        control->setProperty(kControlIdProperty, id);
    m_controls.push_back(PlacedControl{control, id, units, dropDown});
    SetGeometry(m_controls.back(), GetDialogUnits(), QSize());
}

void CFormView::PlaceControls() {
    const CDialogUnits units = GetDialogUnits();
    const QSize form = units.MapSize(m_templateSize);
    const QSize extra(std::max(0, width() - form.width()), std::max(0, height() - form.height()));
    for (const PlacedControl& placed : m_controls)
        SetGeometry(placed, units, extra);
}

void CFormView::SetGeometry(const PlacedControl& placed, const CDialogUnits& units, QSize extra) {
    QWidget* widget = placed.widget;
    if (widget == nullptr)
        return;
    QRect rect = units.MapRect(placed.units);
    if (placed.dropDown) {
        auto* box = static_cast<QComboBox*>(widget);
        const int closed = box->sizeHint().height();
        const int entry = std::max(1, box->fontMetrics().height());
        box->setMaxVisibleItems(std::max(1, (rect.height() - closed) / entry));
        rect.setHeight(closed);
    } else if ((widget->inherits("QCheckBox") || widget->inherits("QRadioButton") ||
                widget->inherits("QLabel")) &&
               widget->sizePolicy().horizontalPolicy() != QSizePolicy::Ignored) {
        // The template's widths fit the captions in the font it was drawn for; a wider font
        // must not cut them short, so a caption grows to the right as far as it needs.
        rect.setWidth(std::max(rect.width(), widget->sizeHint().width()));
    }
    if (placed.anchors & moveRight)
        rect.translate(extra.width(), 0);
    if (placed.anchors & moveDown)
        rect.translate(0, extra.height());
    if (placed.anchors & growWidth)
        rect.setWidth(rect.width() + extra.width());
    if (placed.anchors & growHeight)
        rect.setHeight(rect.height() + extra.height());
    // Shares of the extra height end where the next control's begin, without gaps from rounding.
    const auto part = [&extra](int sixths) { return extra.height() * sixths / 6; };
    rect.translate(0, part(placed.moveSixths));
    rect.setHeight(rect.height() + part(placed.moveSixths + placed.growSixths) -
                   part(placed.moveSixths));
    widget->setGeometry(rect);
}
