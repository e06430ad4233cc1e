#include "XPMenu.h"

#include "Controls.h"
#include "SpinEdit.h"
#include "WebBrowser.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOption>
#include <QToolButton>

namespace {

const QColor NormalFrame(127, 157, 185);
const QColor HotFrame(49, 106, 197);
const QColor HotFill(193, 210, 238);
const QColor PressedFill(152, 181, 226);
const QColor ButtonFill(224, 232, 246);
const QColor CheckFrame(28, 81, 128);
const QColor CheckMark(33, 161, 33);
const QColor MenuFrame(102, 102, 102);
const QColor MenuGutter(227, 231, 238);
constexpr int ComboArrowWidth = 17;
constexpr int MenuGutterWidth = 24;

QStyle* Fusion() {
    return QStyleFactory::create(QStringLiteral("Fusion"));
}

bool IsHot(const QStyleOption* Option) {
    return (Option->state & QStyle::State_Enabled) &&
           (Option->state & (QStyle::State_MouseOver | QStyle::State_HasFocus));
}

void FrameRect(QPainter* Painter, const QRect& Rect, const QColor& Color) {
    Painter->save();
    Painter->setPen(Color);
    Painter->setBrush(Qt::NoBrush);
    Painter->drawRect(Rect.adjusted(0, 0, -1, -1));
    Painter->restore();
}

bool IsSpinButton(const QWidget* Widget) {
    return Widget && Widget->parentWidget() &&
           qobject_cast<const TSpinButton*>(Widget->parentWidget());
}

} // namespace

TXPStyle::TXPStyle() : QProxyStyle(Fusion()) {}

QColor TXPStyle::FrameColor(bool Hot) {
    return Hot ? HotFrame : NormalFrame;
}

void TXPStyle::drawPrimitive(PrimitiveElement Element, const QStyleOption* Option,
                             QPainter* Painter, const QWidget* Widget) const {
    switch (Element) {
    case PE_PanelLineEdit:
        if (const auto* panel = qstyleoption_cast<const QStyleOptionFrame*>(Option)) {
            if (panel->lineWidth > 0) {
                Painter->fillRect(panel->rect, panel->palette.brush(QPalette::Base));
                drawPrimitive(PE_FrameLineEdit, Option, Painter, Widget);
                return;
            }
        }
        break;
    case PE_FrameLineEdit:
        FrameRect(Painter, Option->rect, FrameColor(IsHot(Option)));
        return;
    case PE_IndicatorCheckBox: {
        const QRect box = Option->rect.adjusted(0, 0, -1, -1);
        Painter->save();
        Painter->setRenderHint(QPainter::Antialiasing, false);
        Painter->fillRect(box, (Option->state & State_MouseOver) ? QColor(250, 251, 255)
                                                                 : QColor(255, 255, 255));
        Painter->setPen(IsHot(Option) ? HotFrame : CheckFrame);
        Painter->drawRect(box);
        if (Option->state & (State_On | State_NoChange)) {
            QPen pen(CheckMark, 2);
            Painter->setRenderHint(QPainter::Antialiasing, true);
            Painter->setPen(pen);
            const QRectF r = QRectF(box).adjusted(3, 3, -3, -3);
            const QPointF points[] = {{r.left(), r.center().y()},
                                      {r.left() + r.width() * 0.4, r.bottom() - 0.5},
                                      {r.right(), r.top() + 0.5}};
            Painter->drawPolyline(points, 3);
        }
        Painter->restore();
        return;
    }
    case PE_PanelButtonTool: {
        const bool pressed = Option->state & (State_Sunken | State_On);
        const bool hover = (Option->state & State_MouseOver) && (Option->state & State_Enabled);
        if (IsSpinButton(Widget)) {
            Painter->fillRect(Option->rect, pressed ? PressedFill : (hover ? HotFill : ButtonFill));
            FrameRect(Painter, Option->rect, FrameColor(pressed || hover));
            return;
        }
        if (pressed || hover) {
            Painter->fillRect(Option->rect, pressed ? PressedFill : HotFill);
            FrameRect(Painter, Option->rect, HotFrame);
        }
        return;
    }
    case PE_FrameButtonTool:
        return;
    case PE_PanelMenu:
        Painter->fillRect(Option->rect, QColor(255, 255, 255));
        return;
    case PE_FrameMenu:
        FrameRect(Painter, Option->rect, MenuFrame);
        return;
    default:
        break;
    }
    QProxyStyle::drawPrimitive(Element, Option, Painter, Widget);
}

void TXPStyle::drawControl(ControlElement Element, const QStyleOption* Option, QPainter* Painter,
                           const QWidget* Widget) const {
    if (Element == CE_ComboBoxLabel && (Option->state & State_HasFocus)) {
        // The focused list shows its text selected.
        Painter->save();
        Painter->setPen(Option->palette.color(QPalette::HighlightedText));
        QProxyStyle::drawControl(Element, Option, Painter, Widget);
        Painter->restore();
        return;
    }
    if (Element == CE_MenuItem) {
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(Option);
        if (!item)
            return;
        const QRect rect = item->rect;
        Painter->save();
        Painter->fillRect(rect, QColor(255, 255, 255));
        Painter->fillRect(QRect(rect.left(), rect.top(), MenuGutterWidth, rect.height()),
                          MenuGutter);
        if (item->menuItemType == QStyleOptionMenuItem::Separator) {
            Painter->setPen(QColor(197, 197, 197));
            const int y = rect.center().y();
            Painter->drawLine(rect.left() + MenuGutterWidth + 6, y, rect.right() - 2, y);
            Painter->restore();
            return;
        }
        const bool enabled = item->state & State_Enabled;
        const bool selected = enabled && (item->state & State_Selected);
        if (selected) {
            const QRect band = rect.adjusted(1, 0, -1, 0);
            Painter->fillRect(band, HotFill);
            FrameRect(Painter, band, HotFrame);
        }
        QString text = item->text;
        QString shortcut;
        if (const qsizetype tab = text.indexOf(u'\t'); tab >= 0) {
            shortcut = text.mid(tab + 1);
            text = text.left(tab);
        }
        const QRect textRect = rect.adjusted(MenuGutterWidth + 8, 0, -16, 0);
        int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
        flags |= proxy()->styleHint(SH_UnderlineShortcut, item, Widget) ? Qt::TextShowMnemonic
                                                                        : Qt::TextHideMnemonic;
        Painter->setFont(item->font);
        Painter->setPen(enabled ? QColor(0, 0, 0) : QColor(141, 141, 141));
        Painter->drawText(textRect, flags, text);
        if (!shortcut.isEmpty())
            Painter->drawText(textRect, Qt::AlignRight | Qt::AlignVCenter, shortcut);
        Painter->restore();
        return;
    }
    QProxyStyle::drawControl(Element, Option, Painter, Widget);
}

void TXPStyle::drawComplexControl(ComplexControl Control, const QStyleOptionComplex* Option,
                                  QPainter* Painter, const QWidget* Widget) const {
    if (Control == CC_ComboBox) {
        if (const auto* combo = qstyleoption_cast<const QStyleOptionComboBox*>(Option)) {
            const bool hot = IsHot(Option);
            Painter->fillRect(combo->rect, combo->palette.brush(QPalette::Base));
            FrameRect(Painter, combo->rect, FrameColor(hot));
            const QRect arrow = subControlRect(CC_ComboBox, combo, SC_ComboBoxArrow, Widget);
            const bool pressed =
                combo->activeSubControls == SC_ComboBoxArrow && (combo->state & State_Sunken);
            Painter->fillRect(arrow, pressed ? PressedFill : (hot ? HotFill : ButtonFill));
            FrameRect(Painter, arrow, FrameColor(hot));
            QStyleOption arrowOption = *Option;
            arrowOption.rect = arrow.adjusted(4, 5, -4, -5);
            arrowOption.palette.setColor(QPalette::ButtonText, QColor(77, 97, 133));
            arrowOption.palette.setColor(QPalette::WindowText, QColor(77, 97, 133));
            proxy()->drawPrimitive(PE_IndicatorArrowDown, &arrowOption, Painter, Widget);
            if ((combo->state & State_HasFocus) && !combo->editable) {
                const QRect field =
                    subControlRect(CC_ComboBox, combo, SC_ComboBoxEditField, Widget);
                Painter->fillRect(field, combo->palette.brush(QPalette::Highlight));
            }
            return;
        }
    }
    QProxyStyle::drawComplexControl(Control, Option, Painter, Widget);
}

QRect TXPStyle::subControlRect(ComplexControl Control, const QStyleOptionComplex* Option,
                               SubControl Sub, const QWidget* Widget) const {
    if (Control == CC_ComboBox) {
        const QRect r = Option->rect;
        switch (Sub) {
        case SC_ComboBoxFrame:
        case SC_ComboBoxListBoxPopup:
            return r;
        case SC_ComboBoxArrow:
            return QRect(r.right() - ComboArrowWidth, r.top() + 1, ComboArrowWidth, r.height() - 2);
        case SC_ComboBoxEditField:
            return QRect(r.left() + 2, r.top() + 2, r.width() - ComboArrowWidth - 4,
                         r.height() - 4);
        default:
            break;
        }
    }
    return QProxyStyle::subControlRect(Control, Option, Sub, Widget);
}

int TXPStyle::pixelMetric(PixelMetric Metric, const QStyleOption* Option,
                          const QWidget* Widget) const {
    switch (Metric) {
    case PM_DefaultFrameWidth:
    case PM_ComboBoxFrameWidth:
    case PM_MenuPanelWidth:
        return 1;
    case PM_IndicatorWidth:
    case PM_IndicatorHeight:
        return 13;
    case PM_MenuHMargin:
    case PM_MenuVMargin:
        return 1;
    case PM_SubMenuOverlap:
        return 0;
    default:
        return QProxyStyle::pixelMetric(Metric, Option, Widget);
    }
}

QSize TXPStyle::sizeFromContents(ContentsType Type, const QStyleOption* Option, const QSize& Size,
                                 const QWidget* Widget) const {
    if (Type == CT_MenuItem) {
        if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(Option)) {
            if (item->menuItemType == QStyleOptionMenuItem::Separator)
                return QSize(Size.width(), 5);
            const QFontMetrics metrics(item->font);
            const int width = MenuGutterWidth + 8 + metrics.horizontalAdvance(item->text) + 24;
            return QSize(qMax(width, 120), qMax(metrics.height() + 6, 22));
        }
    }
    return QProxyStyle::sizeFromContents(Type, Option, Size, Widget);
}

int TXPStyle::styleHint(StyleHint Hint, const QStyleOption* Option, const QWidget* Widget,
                        QStyleHintReturn* Return) const {
    if (Hint == SH_LineEdit_PasswordCharacter)
        return u'*';
    if (Hint == SH_UnderlineShortcut)
        return 1;
    return QProxyStyle::styleHint(Hint, Option, Widget, Return);
}

TFormStyle::TFormStyle() : QProxyStyle(Fusion()) {}

int TFormStyle::styleHint(StyleHint Hint, const QStyleOption* Option, const QWidget* Widget,
                          QStyleHintReturn* Return) const {
    if (Hint == SH_LineEdit_PasswordCharacter)
        return u'*';
    return QProxyStyle::styleHint(Hint, Option, Widget, Return);
}

TXPMenu::TXPMenu(QWidget* AOwner) : QObject(AOwner), FOwner(AOwner), FStyle(new TXPStyle) {
    FStyle->setParent(this);
}

TXPMenu::~TXPMenu() {
    Release();
}

void TXPMenu::SetActive(bool Active) {
    if (Active == FActive)
        return;
    FActive = Active;
    if (!Active) {
        Release();
        return;
    }
    const QList<QWidget*> all = FOwner->findChildren<QWidget*>();
    for (QWidget* control : all) {
        // The embedded browser draws itself.
        bool inBrowser = false;
        for (QWidget* p = control; p && p != FOwner; p = p->parentWidget())
            inBrowser = inBrowser || qobject_cast<TWebBrowser*>(p);
        if (inBrowser)
            continue;
        const auto* tool = qobject_cast<QToolButton*>(control);
        const auto* panel = qobject_cast<TPanel*>(control);
        if (qobject_cast<QComboBox*>(control) || qobject_cast<QLineEdit*>(control) ||
            qobject_cast<QCheckBox*>(control) || qobject_cast<QMenu*>(control) ||
            (tool && (tool->autoRaise() || IsSpinButton(tool))) ||
            (panel && panel->BorderWidth() > 0))
            TakeOver(control);
    }
}

QList<QWidget*> TXPMenu::Controls() const {
    QList<QWidget*> result;
    for (const TSaved& saved : FSaved)
        if (saved.Control)
            result.append(saved.Control);
    return result;
}

void TXPMenu::TakeOver(QWidget* Control) {
    FSaved.append({Control, Control->style() == QApplication::style() ? nullptr : Control->style(),
                   Control->palette(), Control->testAttribute(Qt::WA_Hover)});
    Control->setAttribute(Qt::WA_Hover, true);
    if (qobject_cast<QLineEdit*>(Control)) {
        // Edits and number fields: black text on the window's colour.
        QPalette palette = Control->palette();
        palette.setColor(QPalette::Text, QColor(0, 0, 0));
        palette.setColor(QPalette::Base, FOwner->palette().color(QPalette::Window));
        Control->setPalette(palette);
    }
    if (auto* panel = qobject_cast<TPanel*>(Control)) {
        ShadePanel(panel, false);
        panel->installEventFilter(this);
        return;
    }
    Control->setStyle(FStyle);
}

void TXPMenu::Release() {
    for (const TSaved& saved : FSaved) {
        if (!saved.Control)
            continue;
        saved.Control->removeEventFilter(this);
        if (!qobject_cast<TPanel*>(saved.Control.data()))
            saved.Control->setStyle(saved.Style);
        saved.Control->setPalette(saved.Palette);
        saved.Control->setAttribute(Qt::WA_Hover, saved.Hover);
    }
    FSaved.clear();
}

void TXPMenu::ShadePanel(QWidget* Panel, bool Hot) {
    // The bevels in shades of the panel's own colour; the dark edges take the frame colour
    // under the mouse.
    const QColor face = Panel->palette().color(QPalette::Window);
    QPalette palette = Panel->palette();
    palette.setColor(QPalette::Light, face.lighter(106));
    palette.setColor(QPalette::Dark, Hot ? HotFrame : face.darker(128));
    Panel->setPalette(palette);
    Panel->update();
}

bool TXPMenu::eventFilter(QObject* Watched, QEvent* Event) {
    if (auto* panel = qobject_cast<TPanel*>(Watched)) {
        if (Event->type() == QEvent::Enter)
            ShadePanel(panel, true);
        else if (Event->type() == QEvent::Leave)
            ShadePanel(panel, false);
    }
    return QObject::eventFilter(Watched, Event);
}
