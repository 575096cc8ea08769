// The peer toolkit a C++ developer would otherwise use for the same jobs: QtSql over the same
// SQLite file filling a QStandardItemModel, the way a Qt application fills a lazily expanded
// tree (a placeholder child shows the expand indicator) and a table of records. Each job answers
// the same checksum as the component's scenario, so the benchmark checks that both show the same
// thing. Qt types stay inside QtPeer.cpp; only the benchmark executable links Qt.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace orvel::bench {

class TQtPeer {
public:
    // Opens the database file through Qt's SQLite driver (a connection of its own).
    explicit TQtPeer(const std::string& file);
    ~TQtPeer();
    TQtPeer(const TQtPeer&) = delete;
    TQtPeer& operator=(const TQtPeer&) = delete;

    // A fresh model of the top level of ORGANIZATION, each node probed for a first child; the
    // first top-level record counts as selected, as in the tree's scenario.
    int64_t FillTree();
    // A fresh model holding the record parentId, then its children appended under it as an
    // expand does, each probed for a first child.
    int64_t ExpandChildren(int64_t parentId);
    // A fresh model of every INVENTORY record as a row: the name (with the key and the two image
    // numbers as item data) and the three columns CODE, LOCATION, QUANTITY as texts.
    int64_t LoadList();
    // Drops the model.
    void Clear();
    int RowCount() const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> F;
};

} // namespace orvel::bench
