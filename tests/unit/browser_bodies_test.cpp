// Bodies that headless Chromium posted for real HTML forms
// (TARNWICK_BROWSER_BODIES_DIR/<case>.body, captured by
// tests/browser/capture/run.sh), split by the form-data parser and compared
// field by field and byte for byte with what Python's email package reads in
// them (reference.txt there, written by tests/browser-body-reference.py).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/unit/TestFiles.h"
#include "upload/FormDataParser.h"

namespace tarnwick::upload {
namespace {

const std::string kDir = TARNWICK_BROWSER_BODIES_DIR "/";

struct Field {
    std::string name;
    bool isFile = false;
    std::string fileName;
    std::string data;
};

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::strtol(hex.substr(i, 2).c_str(), nullptr, 16));
    return bytes;
}

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> columns;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        columns.push_back(line.substr(start, tab - start));
    columns.push_back(line.substr(start));
    return columns;
}

// reference.txt by case, its fields in body order.
std::map<std::string, std::vector<Field>> ReadReference() {
    std::map<std::string, std::vector<Field>> cases;
    std::istringstream lines(test::ReadFile(kDir + "reference.txt"));
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#') continue;
        const std::vector<std::string> c = SplitTabs(line);
        EXPECT_EQ(c.size(), 6u) << line;
        if (c.size() != 6) continue;
        std::vector<Field>& fields = cases[c[0]];
        EXPECT_EQ(c[1], std::to_string(fields.size())) << line;
        fields.push_back({FromHex(c[2]), c[3] == "1", FromHex(c[4]), FromHex(c[5])});
    }
    return cases;
}

std::vector<Field> ParserFields(const test::ExactBytes& body) {
    FormDataParser parser;
    EXPECT_TRUE(parser.Parse(body.begin(), static_cast<std::int32_t>(body.size())));
    std::vector<Field> fields;
    for (const FormField* f = parser.First(); f != nullptr; f = f->nextField.get()) {
        EXPECT_GE(f->dataLength, 0);
        const bool inBody = f->dataLength == 0 ||
                            (f->dataStart >= body.begin() && f->dataStart + f->dataLength <= body.end());
        EXPECT_TRUE(inBody) << f->fieldName;
        fields.push_back({f->fieldName, f->isFile != 0, f->fileName,
                          f->dataLength > 0 && inBody ? std::string(f->dataStart, f->dataLength) : ""});
    }
    return fields;
}

TEST(BrowserBodies, ParserReadsWhatPythonReads) {
    // What each body holds: tests/data/browser-bodies/README.md.
    const char* const kCases[] = {
        "multiple-files",   // one file input, three files
        "same-file-name",   // two inputs, each a binary photo.jpg
        "odd-file-names",   // ", ;, %, Chinese, Korean, emoji in file names
        "odd-field-names",  // the same in field names
        "empty-file",       // a file input with no file, between text fields
        "semicolon-value",  // a value beginning with ";", then more fields and a file
        "textarea-lines",   // CR LF lines, an empty one, one of just "."
    };
    const auto reference = ReadReference();
    ASSERT_EQ(reference.size(), std::size(kCases)) << "reference.txt under " << kDir;

    for (const char* name : kCases) {
        SCOPED_TRACE(name);
        const std::string bytes = test::ReadFile(kDir + name + ".body");
        const auto found = reference.find(name);
        ASSERT_FALSE(bytes.empty());
        ASSERT_NE(found, reference.end());
        const std::vector<Field>& want = found->second;

        const test::ExactBytes body(bytes);
        const std::vector<Field> got = ParserFields(body);
        EXPECT_EQ(got.size(), want.size());
        for (std::size_t i = 0; i < want.size() && i < got.size(); ++i) {
            SCOPED_TRACE("field " + std::to_string(i) + " (" + want[i].name + ")");
            EXPECT_EQ(got[i].name, want[i].name);
            EXPECT_EQ(got[i].isFile, want[i].isFile);
            EXPECT_EQ(got[i].fileName, want[i].fileName);
            EXPECT_EQ(got[i].data, want[i].data);
        }
    }
}

}  // namespace
}  // namespace tarnwick::upload
