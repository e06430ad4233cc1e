#pragma once

// The window's plain controls: a label, a bevelled panel and a status bar with fixed panels,
// drawn the way the window's layout was designed for.

#include <QLabel>
#include <QList>
#include <QString>
#include <QWidget>

// A label whose lines break at CR, LF or CR LF and, when word-wrapped, inside its width. Lines
// are one font height apart in pixels (the cell of the font the layout was designed with), so
// the help texts keep their designed size whatever the installed font's line spacing. An opaque
// label paints its parent's colour, a transparent one paints nothing behind its text.
class TLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLabel(QWidget* Parent);

    bool Transparent() const { return !autoFillBackground(); }
    void SetTransparent(bool Transparent);

    // Distance between lines and from the top to the first baseline, in pixels.
    int CellHeight() const;
    int CellAscent() const;

    // The text broken into its lines as they are drawn (for tests of the layout).
    QStringList DrawnLines() const;

signals:
    void Clicked();

protected:
    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;

private:
    bool FPressed = false;
};

// The line breaks of a caption: CR LF, CR and LF each end a line.
QStringList SplitCaptionLines(const QString& Text);

enum TBevelCut { bvNone, bvLowered, bvRaised };

// A container with an outer and an inner one-pixel bevel. The light and dark edges are the
// palette's Light and Dark colours, so a styling can restyle the frame.
class TPanel : public QWidget {
    Q_OBJECT
public:
    explicit TPanel(QWidget* Parent);

    TBevelCut BevelOuter() const { return FBevelOuter; }
    TBevelCut BevelInner() const { return FBevelInner; }
    void SetBevelOuter(TBevelCut Cut);
    void SetBevelInner(TBevelCut Cut);
    // Pixels taken by the frame on each side.
    int BorderWidth() const;

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    TBevelCut FBevelOuter = bvRaised;
    TBevelCut FBevelInner = bvNone;
};

// A status bar of fixed-width panels, each a lowered box with one line of text.
class TStatusBar : public QWidget {
    Q_OBJECT
public:
    explicit TStatusBar(QWidget* Parent);

    void AddPanel(int Width, const QString& Text);
    int PanelCount() const { return static_cast<int>(FPanels.size()); }
    int PanelWidth(int Index) const { return FPanels.at(Index).Width; }
    QString PanelText(int Index) const { return FPanels.at(Index).Text; }
    void SetPanelText(int Index, const QString& Text);
    // Where a panel is drawn, in the bar's coordinates.
    QRect PanelRect(int Index) const;

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    struct TStatusPanel {
        int Width;
        QString Text;
    };
    QList<TStatusPanel> FPanels;
};
