#pragma once

// A small web server on 127.0.0.1 for the update tab: fixed pages by path, and a count of the
// requests each path received.

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QTcpServer>
#include <QUrl>

class TPageServer : public QObject {
    Q_OBJECT
public:
    explicit TPageServer(QObject* Parent = nullptr);

    bool Listen();
    QUrl BaseUrl() const;
    void SetPage(const QByteArray& Path, const QByteArray& Html);
    int Requests(const QByteArray& Path) const { return FRequests.value(Path); }

private:
    void Serve(QTcpSocket* Socket);

    QTcpServer FServer;
    QHash<QByteArray, QByteArray> FPages;
    QHash<QByteArray, int> FRequests;
};
