// The grid's section of the state file, written in this process: checked boxes, an inactive grid.
#include "grid/KxGridState.h"
#include "grid/support/GridFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {
QJsonObject stateOf(const TkxCustomDBGrid& g) {
    QJsonParseError error;
    QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(GridStateJson(g)), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << GridStateJson(g);
    return doc.object();
}
} // namespace

TEST(GridState, ChecksFollowTheCellsAndAnInactiveGridShowsNoRows) {
    TestDatabase db("INSERT INTO CUSTOMER (CUST_ID, CUST_NAME) VALUES ('C1', 'one');"
                    "INSERT INTO CUSTOMER (CUST_ID, CUST_NAME) VALUES ('C2', 'two');"
                    "INSERT INTO CUSTOMER (CUST_ID, CUST_NAME) VALUES ('C3', 'three')");
    GridHarness h(db, "select CUST_ID, CUST_NAME, CUST_ID AS SELECT_YN from CUSTOMER order by CUST_ID");
    h.grid->SetControlType(TStringList{"SELECT_YN;CheckBox;c2;x"});
    h.grid->SetDataSource(h.source);
    h.Show();
    QJsonObject inactive = stateOf(*h.grid);
    EXPECT_EQ(inactive["columns"].toArray().size(), 1);
    EXPECT_TRUE(inactive["rows"].toArray().isEmpty());

    h.cds->Open();
    h.cds->Next();
    QJsonObject state = stateOf(*h.grid);
    QJsonArray rows = state["rows"].toArray();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[1].toObject()["cells"].toArray()[0].toString(), "C2");
    EXPECT_EQ(rows[1].toObject()["checked"].toArray(), (QJsonArray{QJsonValue(), QJsonValue(), true}));
    EXPECT_EQ(rows[0].toObject()["checked"].toArray()[2], QJsonValue(false));
    EXPECT_EQ(state["row"].toInt(), 2);
    EXPECT_EQ(state["columns"].toArray()[2].toObject()["controlType"].toString(), "CheckBox");
    QJsonObject bar = state["vertScrollBar"].toObject();
    EXPECT_EQ(bar["position"].toInt(), 2);
    EXPECT_EQ(bar["max"].toInt() - bar["page"].toInt() + 1, 3);
}
