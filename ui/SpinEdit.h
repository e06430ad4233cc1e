#pragma once

// The number field of the window: an edit with a pair of arrow buttons. Its value is the text
// read by the number rule (0 when the text is not a number); typing is limited to what may
// make a number, pasting is not.

#include <QLineEdit>
#include <QToolButton>

#include <cstdint>

class TSpinButton : public QWidget {
    Q_OBJECT
public:
    explicit TSpinButton(QWidget* Parent);

    QToolButton* UpButton() const { return FUpButton; }
    QToolButton* DownButton() const { return FDownButton; }

protected:
    void resizeEvent(QResizeEvent* Event) override;

private:
    QToolButton* FUpButton;
    QToolButton* FDownButton;
};

class TSpinEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TSpinEdit(QWidget* Parent);

    std::int32_t MinValue() const { return FMinValue; }
    std::int32_t MaxValue() const { return FMaxValue; }
    void SetMinValue(std::int32_t Value) { FMinValue = Value; }
    void SetMaxValue(std::int32_t Value) { FMaxValue = Value; }
    std::int32_t Increment() const { return FIncrement; }
    void SetIncrement(std::int32_t Value) { FIncrement = Value; }

    // The text read by the number rule: its number, or 0 when it does not convert.
    std::int32_t Value() const;
    // Writes the number, limited to the range, as decimal text.
    void SetValue(std::int64_t NewValue);
    // The number limited to the range (no limit when both bounds are equal).
    std::int64_t CheckValue(std::int64_t NewValue) const;

    void UpClick();
    void DownClick();

    // Whether a typed character may stand in the field.
    static bool IsValidChar(QChar Char);

    TSpinButton* Button() const { return FButton; }
    static constexpr int ButtonWidth = 15;

protected:
    void keyPressEvent(QKeyEvent* Event) override;
    void inputMethodEvent(QInputMethodEvent* Event) override;
    void focusOutEvent(QFocusEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;

private:
    TSpinButton* FButton;
    std::int32_t FMinValue = 0;
    std::int32_t FMaxValue = 0;
    std::int32_t FIncrement = 1;
};
