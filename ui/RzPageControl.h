#pragma once

// A tab control whose pages are its direct children: a strip of tabs on top, one line under
// them (no frame around the pages) and the active page filling the rest.

#include <QList>
#include <QString>
#include <QWidget>

class TRzPageControl;

class TRzTabSheet : public QWidget {
    Q_OBJECT
public:
    // The sheet becomes the control's last page.
    explicit TRzTabSheet(TRzPageControl* PageControl);

    QString Caption() const { return FCaption; }
    void SetCaption(const QString& Caption);
    TRzPageControl* PageControl() const { return FPageControl; }

private:
    TRzPageControl* FPageControl;
    QString FCaption;
};

class TRzPageControl : public QWidget {
    Q_OBJECT
public:
    explicit TRzPageControl(QWidget* Parent);
    ~TRzPageControl() override;

    int PageCount() const { return static_cast<int>(FPages.size()); }
    TRzTabSheet* Pages(int Index) const { return FPages.at(Index); }
    TRzTabSheet* ActivePage() const { return FActivePage; }
    void SetActivePage(TRzTabSheet* Page);
    int ActivePageIndex() const { return static_cast<int>(FPages.indexOf(FActivePage)); }

    int TabHeight() const { return FTabHeight; }
    void SetTabHeight(int Height);
    QRect TabRect(int Index) const;
    // Where the pages lie, in the control's coordinates.
    QRect PageRect() const;

signals:
    void Change();

protected:
    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;

private:
    friend class TRzTabSheet;
    void AddPage(TRzTabSheet* Page);
    void UpdatePages();
    void SelectNext(bool Forward, bool Wrap);

    QList<TRzTabSheet*> FPages;
    TRzTabSheet* FActivePage = nullptr;
    int FTabHeight = 18;
};
