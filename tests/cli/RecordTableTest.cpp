// One field table, three forms: text columns, a line of a stream and a JSON record.
#include "cli/RecordTable.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct Row {
    std::string name;
    int count;
    bool tagged;
};

const RecordField<Row> kRowFields[] = {
    {"name", "NAME", FieldType::Text, [](const Row& r) { return FieldValue(r.name); }},
    {"count", "", FieldType::Number, [](const Row& r) { return FieldValue(r.count); }},
    {"", "TAG", FieldType::Text, [](const Row&) { return FieldValue(); },
     [](const Row& r) { return r.tagged ? std::string("<tag>") : std::string(); }},
};

} // namespace

TEST(RecordTable, EachFormTakesItsOwnFieldsInTheirOrder) {
    const RecordTable<Row> table(kRowFields);
    EXPECT_EQ(table.headings(), (std::vector<std::string>{"NAME", "TAG"}));
    EXPECT_EQ(table.rows({"COM3", 2, true}),
              (std::vector<std::vector<std::string>>{{"COM3", "<tag>"}}));
    // A stream's line leaves an empty cell out, with the spaces before it.
    EXPECT_EQ(table.line({"COM3", 2, true}), "COM3  <tag>");
    EXPECT_EQ(table.line({"COM3", 2, false}), "COM3");
    const Record record = table.record({"COM3", 2, false});
    ASSERT_EQ(record.size(), 2u);
    EXPECT_EQ(record[0].first, "name");
    EXPECT_EQ(record[1].first, "count");
    EXPECT_EQ(record[1].second.text(), "2");
}
