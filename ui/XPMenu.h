#pragma once

// The window's flat styling: once active, the drop-down list, edits, number fields, check box,
// flat buttons, bevelled panels and pop-up menus of its owner are drawn with flat one-pixel
// frames that light up under the mouse and with the focus, and the pop-up menu in the flat
// menu style.

#include <QColor>
#include <QList>
#include <QObject>
#include <QPalette>
#include <QPointer>
#include <QProxyStyle>

class TXPStyle : public QProxyStyle {
    Q_OBJECT
public:
    TXPStyle();

    static QColor FrameColor(bool Hot);

    void drawPrimitive(PrimitiveElement Element, const QStyleOption* Option, QPainter* Painter,
                       const QWidget* Widget = nullptr) const override;
    void drawControl(ControlElement Element, const QStyleOption* Option, QPainter* Painter,
                     const QWidget* Widget = nullptr) const override;
    void drawComplexControl(ComplexControl Control, const QStyleOptionComplex* Option,
                            QPainter* Painter, const QWidget* Widget = nullptr) const override;
    QRect subControlRect(ComplexControl Control, const QStyleOptionComplex* Option, SubControl Sub,
                         const QWidget* Widget = nullptr) const override;
    int pixelMetric(PixelMetric Metric, const QStyleOption* Option = nullptr,
                    const QWidget* Widget = nullptr) const override;
    QSize sizeFromContents(ContentsType Type, const QStyleOption* Option, const QSize& Size,
                           const QWidget* Widget = nullptr) const override;
    int styleHint(StyleHint Hint, const QStyleOption* Option = nullptr,
                  const QWidget* Widget = nullptr,
                  QStyleHintReturn* Return = nullptr) const override;
};

// A style for the window's controls before (or without) the flat styling: the platform's
// look, with the password field showing "*".
class TFormStyle : public QProxyStyle {
    Q_OBJECT
public:
    TFormStyle();
    int styleHint(StyleHint Hint, const QStyleOption* Option = nullptr,
                  const QWidget* Widget = nullptr,
                  QStyleHintReturn* Return = nullptr) const override;
};

class TXPMenu : public QObject {
    Q_OBJECT
public:
    // The owner is the window whose controls are styled; the component is its child.
    explicit TXPMenu(QWidget* AOwner);
    ~TXPMenu() override;

    bool Active() const { return FActive; }
    void SetActive(bool Active);

    QStyle* Style() const { return FStyle; }
    // The widgets the styling has taken over.
    QList<QWidget*> Controls() const;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    struct TSaved {
        QPointer<QWidget> Control;
        QStyle* Style;
        QPalette Palette;
        bool Hover;
    };
    void TakeOver(QWidget* Control);
    void Release();
    void ShadePanel(QWidget* Panel, bool Hot);

    QWidget* FOwner;
    TXPStyle* FStyle;
    bool FActive = false;
    QList<TSaved> FSaved;
};
