#include "PageServer.h"

#include <QTcpSocket>

TPageServer::TPageServer(QObject* Parent) : QObject(Parent) {
    connect(&FServer, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = FServer.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Serve(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

bool TPageServer::Listen() {
    return FServer.listen(QHostAddress::LocalHost, 0);
}

QUrl TPageServer::BaseUrl() const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(FServer.serverPort()));
}

void TPageServer::SetPage(const QByteArray& Path, const QByteArray& Html) {
    FPages.insert(Path, Html);
}

void TPageServer::Serve(QTcpSocket* Socket) {
    QByteArray request = Socket->property("request").toByteArray() + Socket->readAll();
    Socket->setProperty("request", request);
    const qsizetype end = request.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    Socket->setProperty("request", request.mid(end + 4));
    const QList<QByteArray> words = request.left(request.indexOf("\r\n")).split(' ');
    const QByteArray path = words.size() > 1 ? words.at(1) : QByteArray();
    ++FRequests[path];
    QByteArray status = "200 OK";
    QByteArray body = FPages.value(path);
    if (!FPages.contains(path)) {
        status = "404 Not Found";
        body = "<html><body>not found</body></html>";
    }
    Socket->write("HTTP/1.1 " + status +
                  "\r\nContent-Type: text/html; charset=utf-8\r\nCache-Control: no-store\r\n"
                  "Content-Length: " +
                  QByteArray::number(body.size()) + "\r\n\r\n" + body);
    Socket->flush();
}
