// qblex candidates through the real binary and the generated data, as a script or a
// benchmark drives it: one question, one answer, before the next question is written.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

class Qblex {
public:
    explicit Qblex(const std::vector<std::string>& args) {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            close(in[1]);
            close(out[0]);
            std::vector<char*> argv;
            std::string exe = std::string(QB_BIN_DIR) + "/qblex";
            argv.push_back(exe.data());
            std::vector<std::string> copy = args;
            for (std::string& a : copy) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(exe.c_str(), argv.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        to_ = fdopen(in[1], "w");
        from_ = fdopen(out[0], "r");
    }
    ~Qblex() {
        if (to_) fclose(to_);
        if (from_) fclose(from_);
        if (pid_ > 0) waitpid(pid_, nullptr, 0);
    }
    // Writes one line and waits for its answer: a tool that buffered its output would hang
    // here (ctest's timeout ends it).
    std::string Ask(const std::string& line) {
        if (!to_ || !from_) return "<no process>";
        std::fputs((line + "\n").c_str(), to_);
        std::fflush(to_);
        std::string answer;
        int c;
        while ((c = std::fgetc(from_)) != EOF && c != '\n') answer += char(c);
        return c == EOF ? "<eof>" : answer;
    }

private:
    pid_t pid_ = -1;
    FILE* to_ = nullptr;
    FILE* from_ = nullptr;
};

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (true) {
        const std::size_t tab = line.find('\t', start);
        out.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos) break;
        start = tab + 1;
    }
    return out;
}

} // namespace

TEST(QblexCandidates, AnswersLineByLineWithTheSentencesRenderingsFavoured) {
    const std::string bin = QB_DATA_DIR; // the generated data (the program's folder in a normal build)
    Qblex q({"candidates", "--folder", bin, "--lexicon", bin + "/lexicons/computing.qbs"});
    // Before a sentence: the plain engine's reading.
    EXPECT_EQ(Split(q.Ask("C\tzhuangtaima")).front(), "状态吗");
    // The pooled phrase lines of the sentence (status code, status, code, print, ...).
    const std::string pooled = q.Ask("S\tPrint the status code and exit.");
    EXPECT_GE(std::stoi(pooled), 5) << pooled;
    const auto rows = Split(q.Ask("C\tzhuangtaima"));
    ASSERT_GE(rows.size(), 3u);
    EXPECT_EQ(rows[0], "状态码");
    EXPECT_EQ(Split(q.Ask("C\tdayinzhuangtaimabingtuichu")).front(), "打印状态码并退出");
    // A code of the tables keeps the tables' list: the exact words, then prefix candidates.
    const auto de = Split(q.Ask("C\tde"));
    ASSERT_GE(de.size(), 10u);
    EXPECT_EQ(de[0], "的");
    EXPECT_NE(de.back().find("..."), std::string::npos);
    // The sentence's own word and a phrase's initials, from the sentence code table.
    EXPECT_EQ(Split(q.Ask("C\tsc")).front(), "status code");
    // A line it cannot take still gets its one (empty) line.
    EXPECT_EQ(q.Ask("X\tnonsense"), "");
    // A new user's defaults: 全拼 leads, so the double-pinyin clause is no reading, while 双拼's
    // exact table word stays on the list.
    EXPECT_EQ(Split(q.Ask("C\twomfy;gl")).front(), "");
    EXPECT_EQ(Split(q.Ask("C\tvsgo")).front(), "中国");
}

TEST(QblexCandidates, SchemesAreTheOnesNamedInTheirOrder) {
    const std::string bin = QB_DATA_DIR;
    Qblex ziranma({"candidates", "--folder", bin, "--schemes", "3"});
    EXPECT_EQ(Split(ziranma.Ask("C\twomfyygl")).front(), "我们应该");
    Qblex shuangpin({"candidates", "--folder", bin, "--schemes", "21"});
    EXPECT_EQ(Split(shuangpin.Ask("C\twomfy;gl")).front(), "我们应该");
    // 全拼 alone does not read the double-pinyin code as a clause.
    Qblex quanpin({"candidates", "--folder", bin, "--schemes", "1"});
    EXPECT_NE(Split(quanpin.Ask("C\twomfyygl")).front(), "我们应该");
}
