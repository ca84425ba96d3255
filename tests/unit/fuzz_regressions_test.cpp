// Replays the inputs kept for the fuzz targets through the same checks the
// targets run (fuzz/checks/), natively and without libFuzzer: every file of
// tests/data/fuzz-regressions/<target>/ (inputs that once broke a check or
// take a tricky path) and of fuzz/seeds/<target>/.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/checks/CodecsCheck.h"
#include "fuzz/checks/FormDataCheck.h"
#include "fuzz/checks/HttpTextCheck.h"
#include "fuzz/checks/HzDecoderCheck.h"
#include "fuzz/checks/MailReaderCheck.h"
#include "fuzz/checks/MailWriterCheck.h"
#include "fuzz/checks/MimeMessageCheck.h"
#include "fuzz/checks/PageSourceCheck.h"
#include "fuzz/checks/SendMailCheck.h"
#include "tests/unit/TestFiles.h"

namespace tarnwick::fuzz {
namespace {

namespace fs = std::filesystem;

const std::string kSourceDir = std::string(TARNWICK_CORPUS_DIR) + "/../../..";

struct Target {
    const char* name;
    CheckFunction check;
};

const Target kTargets[] = {
    {"fuzz_codecs", CheckCodecs},
    {"fuzz_form_data", CheckFormData},
    {"fuzz_http_text", CheckHttpText},
    {"fuzz_hz_decoder", CheckHzDecoder},
    {"fuzz_mail_reader", CheckMailReader},
    {"fuzz_mail_writer", CheckMailWriter},
    {"fuzz_mime_message", CheckMimeMessage},
    {"fuzz_page_source", CheckPageSource},
    {"fuzz_send_mail", CheckSendMail},
};

std::vector<std::string> FilesIn(const std::string& dir) {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(dir, error))
        if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')   // not .gitattributes
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

// Runs every file of dir through the target's check; returns the count.
std::size_t Replay(const Target& target, const std::string& dir) {
    const std::vector<std::string> files = FilesIn(dir);
    for (const std::string& path : files) {
        const std::string bytes = test::ReadFile(path);
        try {
            target.check(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        } catch (const CheckFailed& failed) {
            ADD_FAILURE() << path << ": " << failed.what();
        }
    }
    return files.size();
}

class FuzzRegressions : public ::testing::TestWithParam<Target> {};

TEST_P(FuzzRegressions, KeptInputsPassTheTargetsChecks) {
    const Target& target = GetParam();
    const std::size_t kept = Replay(target, kSourceDir + "/tests/data/fuzz-regressions/" + target.name);
    EXPECT_GT(kept, 0u) << "every target keeps at least one input that takes a tricky path";
}

TEST_P(FuzzRegressions, SeedsPassTheTargetsChecks) {
    const Target& target = GetParam();
    EXPECT_GT(Replay(target, kSourceDir + "/fuzz/seeds/" + target.name), 0u);
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzRegressions, ::testing::ValuesIn(kTargets),
                         [](const ::testing::TestParamInfo<Target>& info) { return std::string(info.param.name); });

TEST(FuzzChecks, ABrokenInvariantIsReported) {
    EXPECT_THROW(FUZZ_CHECK(1 + 1 == 3), CheckFailed);
    EXPECT_NO_THROW(FUZZ_CHECK(1 + 1 == 2));
}

}  // namespace
}  // namespace tarnwick::fuzz
