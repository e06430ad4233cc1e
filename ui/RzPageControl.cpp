#include "RzPageControl.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>
#include <QStyleOptionFocusRect>

namespace {

const QColor FrameColor(128, 128, 128);
const QColor InactiveTabColor(214, 219, 228);
constexpr int TabPadding = 8;
constexpr int FirstTabLeft = 2;

} // namespace

TRzTabSheet::TRzTabSheet(TRzPageControl* PageControl)
    : QWidget(PageControl), FPageControl(PageControl) {
    setAutoFillBackground(true);
    PageControl->AddPage(this);
}

void TRzTabSheet::SetCaption(const QString& Caption) {
    FCaption = Caption;
    FPageControl->update();
}

TRzPageControl::TRzPageControl(QWidget* Parent) : QWidget(Parent) {
    setFocusPolicy(Qt::StrongFocus);
    // Ctrl+Tab and Ctrl+Shift+Tab turn the pages from anywhere in the window.
    auto* next = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab), this);
    connect(next, &QShortcut::activated, this, [this] { SelectNext(true, true); });
    auto* previous = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), this);
    connect(previous, &QShortcut::activated, this, [this] { SelectNext(false, true); });
}

TRzPageControl::~TRzPageControl() {
    // The pages go after this object's own fields: they must not report back to it.
    for (TRzTabSheet* page : std::as_const(FPages))
        disconnect(page, nullptr, this, nullptr);
}

void TRzPageControl::AddPage(TRzTabSheet* Page) {
    FPages.append(Page);
    connect(Page, &QObject::destroyed, this, [this, Page] {
        FPages.removeAll(Page);
        if (FActivePage == Page)
            FActivePage = nullptr;
        update();
    });
    if (!FActivePage)
        FActivePage = Page;
    UpdatePages();
}

void TRzPageControl::SetActivePage(TRzTabSheet* Page) {
    if (Page == FActivePage || !FPages.contains(Page))
        return;
    FActivePage = Page;
    UpdatePages();
    emit Change();
}

void TRzPageControl::SetTabHeight(int Height) {
    FTabHeight = Height;
    UpdatePages();
}

QRect TRzPageControl::TabRect(int Index) const {
    int left = FirstTabLeft;
    for (int i = 0; i <= Index && i < PageCount(); ++i) {
        const int width = fontMetrics().horizontalAdvance(FPages.at(i)->Caption()) + 2 * TabPadding;
        if (i == Index)
            return QRect(left, 0, width, FTabHeight);
        left += width;
    }
    return {};
}

QRect TRzPageControl::PageRect() const {
    return QRect(0, FTabHeight + 1, width(), height() - FTabHeight - 1);
}

void TRzPageControl::UpdatePages() {
    for (TRzTabSheet* page : FPages) {
        page->setGeometry(PageRect());
        page->setVisible(page == FActivePage);
    }
    update();
}

void TRzPageControl::SelectNext(bool Forward, bool Wrap) {
    const int count = PageCount();
    int index = ActivePageIndex() + (Forward ? 1 : -1);
    if (Wrap)
        index = (index + count) % count;
    if (index >= 0 && index < count)
        SetActivePage(FPages.at(index));
}

void TRzPageControl::resizeEvent(QResizeEvent* Event) {
    QWidget::resizeEvent(Event);
    UpdatePages();
}

void TRzPageControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor pageColor = palette().color(QPalette::Window);
    // The line under the tabs; the active tab opens it.
    painter.setPen(FrameColor);
    painter.drawLine(0, FTabHeight, width() - 1, FTabHeight);
    for (int i = 0; i < PageCount(); ++i) {
        const bool active = FPages.at(i) == FActivePage;
        QRect tab = TabRect(i);
        if (!active)
            tab.adjust(0, 2, 0, 0);
        painter.fillRect(tab.adjusted(1, 1, 0, active ? 1 : 0),
                         active ? pageColor : InactiveTabColor);
        painter.setPen(FrameColor);
        painter.drawLine(tab.topLeft() + QPoint(0, 1), tab.bottomLeft());
        painter.drawLine(tab.topLeft() + QPoint(1, 0), tab.topRight() - QPoint(1, 0));
        painter.drawLine(tab.topRight() + QPoint(0, 1), tab.bottomRight());
        if (active) {
            painter.setPen(pageColor);
            painter.drawLine(tab.left() + 1, FTabHeight, tab.right() - 1, FTabHeight);
        }
        painter.setPen(palette().color(QPalette::WindowText));
        painter.setFont(font());
        painter.drawText(tab, Qt::AlignCenter | Qt::TextSingleLine, FPages.at(i)->Caption());
        if (active && hasFocus()) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            focus.rect = tab.adjusted(3, 3, -3, -2);
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
        }
    }
}

void TRzPageControl::mousePressEvent(QMouseEvent* Event) {
    if (Event->button() == Qt::LeftButton) {
        for (int i = 0; i < PageCount(); ++i) {
            if (TabRect(i).contains(Event->position().toPoint())) {
                SetActivePage(FPages.at(i));
                setFocus(Qt::MouseFocusReason);
                return;
            }
        }
    }
    QWidget::mousePressEvent(Event);
}

void TRzPageControl::keyPressEvent(QKeyEvent* Event) {
    if (Event->modifiers() == Qt::NoModifier &&
        (Event->key() == Qt::Key_Left || Event->key() == Qt::Key_Right)) {
        SelectNext(Event->key() == Qt::Key_Right, false);
        return;
    }
    QWidget::keyPressEvent(Event);
}
