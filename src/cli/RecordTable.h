#pragma once

#include "cli/FieldValue.h"

#include <span>
#include <string>
#include <vector>

// The type of a field's value, as its JSON object gives it (null aside).
enum class FieldType { Text, Number, Flag, List };

// One field of a record, declared once: its JSON key (empty: text only), the heading of its text
// column (empty: JSON only), its type, its value, and its text where that is not its value's own.
template <class Row> struct RecordField {
    const char* key;
    const char* label;
    FieldType type;
    FieldValue (*value)(const Row& row);
    std::string (*text)(const Row& row) = nullptr;
};

// The fields of one kind of record, in order (as nmcli declares its own): a row as its text
// columns or as its JSON object. Text-only and JSON-only fields sit among the others, so that
// each form keeps its own order from the one list. `lines`: the lines of text that follow a
// row's own, if any.
template <class Row> class RecordTable {
public:
    using Lines = std::vector<std::string> (*)(const Row& row);

    explicit RecordTable(std::span<const RecordField<Row>> fields, Lines lines = nullptr)
        : fields_(fields), lines_(lines) {}

    std::vector<std::string> headings() const {
        std::vector<std::string> headings;
        for (const RecordField<Row>& field : fields_) {
            if (*field.label != '\0') {
                headings.emplace_back(field.label);
            }
        }
        return headings;
    }

    // The row's cells, then a row of one cell for each line that follows it.
    std::vector<std::vector<std::string>> rows(const Row& row) const {
        std::vector<std::vector<std::string>> rows(1);
        for (const RecordField<Row>& field : fields_) {
            if (*field.label != '\0') {
                rows.front().push_back(field.text != nullptr ? field.text(row)
                                                             : field.value(row).text());
            }
        }
        if (lines_ != nullptr) {
            for (std::string& line : lines_(row)) {
                rows.push_back({std::move(line)});
            }
        }
        return rows;
    }

    // The row's text cells on one line, two spaces apart, a cell left empty left out: a record as
    // a stream prints it when it comes, with no column to align it under.
    std::string line(const Row& row) const {
        const std::vector<std::vector<std::string>> cells = rows(row);
        std::string line;
        for (const std::string& cell : cells.front()) {
            if (!cell.empty()) {
                line += (line.empty() ? "" : "  ") + cell;
            }
        }
        return line;
    }

    Record record(const Row& row) const {
        Record record;
        for (const RecordField<Row>& field : fields_) {
            if (*field.key != '\0') {
                record.emplace_back(field.key, field.value(row));
            }
        }
        return record;
    }

private:
    std::span<const RecordField<Row>> fields_;
    Lines lines_;
};
