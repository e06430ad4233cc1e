#include "SpinEdit.h"

#include "NumberRule.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLocale>

TSpinButton::TSpinButton(QWidget* Parent) : QWidget(Parent) {
    setObjectName(QStringLiteral("SpinButton"));
    setCursor(Qt::ArrowCursor);
    auto makeButton = [this](Qt::ArrowType Arrow, const QString& Name) {
        auto* button = new QToolButton(this);
        button->setObjectName(Name);
        button->setArrowType(Arrow);
        button->setAutoRepeat(true);
        button->setAutoRepeatDelay(400);
        button->setAutoRepeatInterval(100);
        button->setFocusPolicy(Qt::NoFocus);
        button->setIconSize(QSize(7, 4));
        return button;
    };
    FUpButton = makeButton(Qt::UpArrow, QStringLiteral("UpButton"));
    FDownButton = makeButton(Qt::DownArrow, QStringLiteral("DownButton"));
}

void TSpinButton::resizeEvent(QResizeEvent* Event) {
    QWidget::resizeEvent(Event);
    const int upHeight = height() / 2;
    FUpButton->setGeometry(0, 0, width(), upHeight);
    FDownButton->setGeometry(0, upHeight, width(), height() - upHeight);
}

TSpinEdit::TSpinEdit(QWidget* Parent) : QLineEdit(Parent), FButton(new TSpinButton(this)) {
    connect(FButton->UpButton(), &QToolButton::clicked, this, [this] {
        setFocus(Qt::OtherFocusReason);
        UpClick();
    });
    connect(FButton->DownButton(), &QToolButton::clicked, this, [this] {
        setFocus(Qt::OtherFocusReason);
        DownClick();
    });
    setTextMargins(0, 0, ButtonWidth, 0);
}

std::int32_t TSpinEdit::Value() const {
    return SpinEditValue(text().toLocal8Bit().toStdString());
}

std::int64_t TSpinEdit::CheckValue(std::int64_t NewValue) const {
    if (FMaxValue == FMinValue)
        return NewValue;
    if (NewValue < FMinValue)
        return FMinValue;
    if (NewValue > FMaxValue)
        return FMaxValue;
    return NewValue;
}

void TSpinEdit::SetValue(std::int64_t NewValue) {
    setText(QString::number(CheckValue(NewValue)));
}

// The step is taken in 64 bits, so the largest number does not wrap round to the smallest.
void TSpinEdit::UpClick() {
    if (isReadOnly())
        QApplication::beep();
    else
        SetValue(static_cast<std::int64_t>(Value()) + FIncrement);
}

void TSpinEdit::DownClick() {
    if (isReadOnly())
        QApplication::beep();
    else
        SetValue(static_cast<std::int64_t>(Value()) - FIncrement);
}

bool TSpinEdit::IsValidChar(QChar Char) {
    if (Char == u'\r' || Char == u'\n')
        return false;
    if (!Char.isPrint())
        return true; // editing keys: backspace, delete, the clipboard's control characters
    if (Char >= u'0' && Char <= u'9')
        return true;
    if (Char == u'+' || Char == u'-')
        return true;
    return QLocale().decimalPoint() == QString(Char);
}

void TSpinEdit::keyPressEvent(QKeyEvent* Event) {
    if (Event->key() == Qt::Key_Up) {
        UpClick();
        return;
    }
    if (Event->key() == Qt::Key_Down) {
        DownClick();
        return;
    }
    // Control combinations are editing commands (copy, paste, undo...), not typed characters.
    const bool command = Event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
    const QString typed = command ? QString() : Event->text();
    for (const QChar c : typed) {
        if (!IsValidChar(c)) {
            QApplication::beep();
            Event->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(Event);
}

void TSpinEdit::inputMethodEvent(QInputMethodEvent* Event) {
    for (const QChar c : Event->commitString()) {
        if (!IsValidChar(c)) {
            QApplication::beep();
            QInputMethodEvent dropped(Event->preeditString(), Event->attributes());
            QLineEdit::inputMethodEvent(&dropped);
            return;
        }
    }
    QLineEdit::inputMethodEvent(Event);
}

void TSpinEdit::focusOutEvent(QFocusEvent* Event) {
    // Leaving the field for another control limits the number; a pop-up or another window
    // taking the focus does not.
    if (Event->reason() != Qt::PopupFocusReason && Event->reason() != Qt::ActiveWindowFocusReason) {
        const std::int32_t value = Value();
        if (CheckValue(value) != value)
            SetValue(value);
    }
    QLineEdit::focusOutEvent(Event);
}

void TSpinEdit::resizeEvent(QResizeEvent* Event) {
    QLineEdit::resizeEvent(Event);
    // Inside the one-pixel frame, on the right.
    FButton->setGeometry(width() - ButtonWidth - 1, 1, ButtonWidth, height() - 2);
}
