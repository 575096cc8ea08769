// The Qt peer's jobs, written as a Qt developer would write them: prepared QSqlQuery statements,
// forward-only reading, QStandardItem rows with the record's numbers as item data.
#include "bench/qt/QtPeer.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardItemModel>
#include <QVariant>

#include <stdexcept>

namespace orvel::bench {

namespace {

constexpr int kIdRole = Qt::UserRole + 1;
constexpr int kStatusRole = Qt::UserRole + 2;
constexpr int kImageRole = Qt::UserRole + 3;

// Qt's SQL drivers are found through the application object; one for the process.
void EnsureApplication() {
    static int argc = 1;
    static char name[] = "orvel-bench";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app =
        QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    (void)app;
}

// What a tree node or list row shows, as the component's scenarios count it.
int64_t ShownItem(const QStandardItem* item) {
    return item->data(kIdRole).toLongLong() + item->text().toUtf8().size() +
           item->data(kStatusRole).toLongLong() + item->data(kImageRole).toLongLong() +
           (item->rowCount() > 0 ? 1 : 0);
}

} // namespace

struct TQtPeer::TImpl {
    QString Connection;
    QSqlDatabase Db;
    QStandardItemModel Model;

    // Rows of ID, NAME, STATUS_ID, IMAGE_ID of a parent's children (a null parent: the top
    // level), each with a placeholder child when the probe finds a first child.
    int64_t AppendChildren(QStandardItem* under, const QVariant& parentId) {
        QSqlQuery children(Db);
        children.setForwardOnly(true);
        children.prepare(parentId.isNull()
                             ? "SELECT ID, NAME, STATUS_ID, IMAGE_ID FROM ORGANIZATION WHERE "
                               "PARENT_ID IS NULL ORDER BY rowid"
                             : "SELECT ID, NAME, STATUS_ID, IMAGE_ID FROM ORGANIZATION WHERE "
                               "PARENT_ID = ? ORDER BY rowid");
        if (!parentId.isNull()) children.addBindValue(parentId);
        Exec(children);
        QSqlQuery probe(Db);
        probe.setForwardOnly(true);
        probe.prepare("SELECT ID FROM ORGANIZATION WHERE PARENT_ID = ? ORDER BY rowid LIMIT 1");
        int64_t sum = 0;
        while (children.next()) {
            auto* item = new QStandardItem(children.value(1).toString());
            item->setData(children.value(0), kIdRole);
            item->setData(children.value(2), kStatusRole);
            item->setData(children.value(3), kImageRole);
            probe.addBindValue(children.value(0));
            Exec(probe);
            if (probe.next()) item->appendRow(new QStandardItem()); // the expand indicator
            probe.finish();
            under->appendRow(item);
            sum += ShownItem(item);
        }
        return sum;
    }

    static void Exec(QSqlQuery& query) {
        if (!query.exec()) throw std::runtime_error(query.lastError().text().toStdString());
    }
};

TQtPeer::TQtPeer(const std::string& file) : F(std::make_unique<TImpl>()) {
    EnsureApplication();
    static int connections = 0;
    F->Connection = QString("orvel-peer-%1").arg(++connections);
    F->Db = QSqlDatabase::addDatabase("QSQLITE", F->Connection);
    F->Db.setDatabaseName(QString::fromStdString(file));
    if (!F->Db.open()) throw std::runtime_error(F->Db.lastError().text().toStdString());
}

TQtPeer::~TQtPeer() {
    F->Model.clear();
    F->Db.close();
    F->Db = QSqlDatabase();
    QString name = F->Connection;
    F.reset();
    QSqlDatabase::removeDatabase(name);
}

int64_t TQtPeer::FillTree() {
    F->Model.clear();
    int64_t sum = F->AppendChildren(F->Model.invisibleRootItem(), QVariant());
    QStandardItem* first = F->Model.item(0);
    return sum + (first ? first->data(kIdRole).toLongLong() : -1);
}

int64_t TQtPeer::ExpandChildren(int64_t parentId) {
    F->Model.clear();
    auto* parent = new QStandardItem(QString::number(parentId));
    F->Model.appendRow(parent);
    return F->AppendChildren(parent, QVariant(static_cast<qlonglong>(parentId)));
}

int64_t TQtPeer::LoadList() {
    F->Model.clear();
    QSqlQuery all(F->Db);
    all.setForwardOnly(true);
    all.prepare("SELECT ID, NAME, STATUS_ID, IMAGE_ID, CODE, LOCATION, QUANTITY FROM INVENTORY "
                "ORDER BY rowid");
    TImpl::Exec(all);
    int64_t sum = 0;
    while (all.next()) {
        QList<QStandardItem*> row;
        auto* name = new QStandardItem(all.value(1).toString());
        name->setData(all.value(0), kIdRole);
        name->setData(all.value(2), kStatusRole);
        name->setData(all.value(3), kImageRole);
        row << name << new QStandardItem(all.value(4).toString())
            << new QStandardItem(all.value(5).toString())
            << new QStandardItem(QString::number(all.value(6).toLongLong()));
        F->Model.appendRow(row);
        sum += ShownItem(name);
        for (int c = 1; c < row.size(); ++c)
            sum += row[c]->text().toUtf8().size();
    }
    return sum;
}

void TQtPeer::Clear() {
    F->Model.clear();
}

int TQtPeer::RowCount() const {
    return F->Model.rowCount();
}

} // namespace orvel::bench
