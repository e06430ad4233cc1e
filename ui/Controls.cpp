#include "Controls.h"

#include <QFontInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QTextLayout>

#include <cmath>
#include <limits>

QStringList SplitCaptionLines(const QString& Text) {
    QStringList lines;
    QString line;
    for (qsizetype i = 0; i < Text.size(); ++i) {
        const QChar c = Text.at(i);
        if (c == u'\r' || c == u'\n') {
            lines.append(line);
            line.clear();
            if (c == u'\r' && i + 1 < Text.size() && Text.at(i + 1) == u'\n')
                ++i;
        } else {
            line.append(c);
        }
    }
    lines.append(line);
    return lines;
}

TLabel::TLabel(QWidget* Parent) : QLabel(Parent) {
    setAutoFillBackground(true);
}

void TLabel::SetTransparent(bool Transparent) {
    setAutoFillBackground(!Transparent);
    update();
}

int TLabel::CellHeight() const {
    return QFontInfo(font()).pixelSize();
}

int TLabel::CellAscent() const {
    // The design font sits 86% of its cell above the baseline.
    return static_cast<int>(std::lround(CellHeight() * 0.86));
}

namespace {

constexpr QChar WordJoiner(0x2060);

// Lines break as the window system breaks a label: at blanks and around Chinese characters,
// never inside a run of Latin letters, digits and signs (a web address stays whole).
QString JoinLatinRuns(const QString& Paragraph) {
    QString joined;
    joined.reserve(Paragraph.size() * 2);
    for (qsizetype i = 0; i < Paragraph.size(); ++i) {
        const QChar c = Paragraph.at(i);
        if (i > 0) {
            const QChar previous = Paragraph.at(i - 1);
            if (previous.unicode() > 0x20 && previous.unicode() < 0x7f && c.unicode() > 0x20 &&
                c.unicode() < 0x7f)
                joined.append(WordJoiner);
        }
        joined.append(c);
    }
    return joined;
}

template <typename LineFn> void LayOut(const TLabel& Label, LineFn&& OnLine) {
    const qreal width = Label.wordWrap() ? Label.width() : std::numeric_limits<qreal>::max() / 4;
    QTextOption option;
    option.setWrapMode(Label.wordWrap() ? QTextOption::WrapAtWordBoundaryOrAnywhere
                                        : QTextOption::NoWrap);
    int top = 0;
    for (const QString& paragraph : SplitCaptionLines(Label.text())) {
        QTextLayout layout(JoinLatinRuns(paragraph), Label.font());
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            line.setPosition(QPointF(0, top + Label.CellAscent() - line.ascent()));
            top += Label.CellHeight();
        }
        layout.endLayout();
        OnLine(layout, paragraph);
    }
}

} // namespace

QStringList TLabel::DrawnLines() const {
    QStringList result;
    LayOut(*this, [&](const QTextLayout& Layout, const QString&) {
        for (int i = 0; i < Layout.lineCount(); ++i) {
            const QTextLine line = Layout.lineAt(i);
            result.append(
                Layout.text().mid(line.textStart(), line.textLength()).remove(WordJoiner));
        }
    });
    return result;
}

void TLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    LayOut(*this, [&](const QTextLayout& Layout, const QString&) { Layout.draw(&painter, {}); });
}

void TLabel::mousePressEvent(QMouseEvent* Event) {
    FPressed = Event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(Event);
}

void TLabel::mouseReleaseEvent(QMouseEvent* Event) {
    const bool click = FPressed && Event->button() == Qt::LeftButton &&
                       rect().contains(Event->position().toPoint());
    FPressed = false;
    QLabel::mouseReleaseEvent(Event);
    if (click)
        emit Clicked();
}

TPanel::TPanel(QWidget* Parent) : QWidget(Parent) {
    // Only the two edge colours are the panel's own; the rest comes from the parent.
    QPalette own = palette();
    own.setColor(QPalette::Light, QColor(255, 255, 255));
    own.setColor(QPalette::Dark, QColor(160, 160, 160));
    setPalette(own);
    setAutoFillBackground(true);
}

void TPanel::SetBevelOuter(TBevelCut Cut) {
    FBevelOuter = Cut;
    update();
}

void TPanel::SetBevelInner(TBevelCut Cut) {
    FBevelInner = Cut;
    update();
}

int TPanel::BorderWidth() const {
    return (FBevelOuter != bvNone ? 1 : 0) + (FBevelInner != bvNone ? 1 : 0);
}

namespace {

void DrawBevel(QPainter& Painter, QRect& Rect, TBevelCut Cut, const QPalette& Palette) {
    if (Cut == bvNone)
        return;
    const QColor light = Palette.color(QPalette::Light);
    const QColor dark = Palette.color(QPalette::Dark);
    const QColor topLeft = Cut == bvRaised ? light : dark;
    const QColor bottomRight = Cut == bvRaised ? dark : light;
    Painter.setPen(topLeft);
    Painter.drawLine(Rect.topLeft(), Rect.topRight());
    Painter.drawLine(Rect.topLeft(), Rect.bottomLeft());
    Painter.setPen(bottomRight);
    Painter.drawLine(Rect.bottomLeft(), Rect.bottomRight());
    Painter.drawLine(Rect.topRight(), Rect.bottomRight());
    Rect.adjust(1, 1, -1, -1);
}

} // namespace

void TPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QRect frame = rect();
    DrawBevel(painter, frame, FBevelOuter, palette());
    DrawBevel(painter, frame, FBevelInner, palette());
}

TStatusBar::TStatusBar(QWidget* Parent) : QWidget(Parent) {
    setAutoFillBackground(true);
    QPalette own = palette();
    own.setColor(QPalette::Window, QColor(240, 240, 240));
    own.setColor(QPalette::WindowText, QColor(0, 0, 0));
    own.setColor(QPalette::Light, QColor(255, 255, 255));
    own.setColor(QPalette::Dark, QColor(160, 160, 160));
    setPalette(own);
}

void TStatusBar::AddPanel(int Width, const QString& Text) {
    FPanels.append({Width, Text});
    update();
}

void TStatusBar::SetPanelText(int Index, const QString& Text) {
    FPanels[Index].Text = Text;
    update();
}

QRect TStatusBar::PanelRect(int Index) const {
    int left = 0;
    for (int i = 0; i < Index; ++i)
        left += FPanels.at(i).Width + 2; // panels stand two pixels apart
    return QRect(left, 2, FPanels.at(Index).Width, height() - 2);
}

void TStatusBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(font());
    for (int i = 0; i < PanelCount(); ++i) {
        QRect box = PanelRect(i);
        DrawBevel(painter, box, bvLowered, palette());
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(box.adjusted(2, 0, -1, 0),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, FPanels.at(i).Text);
    }
}
