// The README's examples, run as they are written: every command of the
// function table ("Every function, with an example") and every row of the
// password table, read from README.md when the test runs, each against a
// fresh simulated machine of an interface version that has it, with the exit
// code the README promises.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <limits>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "tests/e2e/machine_fixture.h"

namespace vort64::e2e {
namespace {

// The words of a command line as a POSIX shell splits it: blanks part them,
// '...' is taken as it is, "..." as it is but for \$ \` \" \\, a backslash
// outside quotes takes the next character. What only a shell could do with a
// line (a variable, a command substitution, a pattern, a redirection, a pipe,
// a comment, a home directory) is refused with the reason in `error`.
std::optional<std::vector<std::string>> SplitLikeAShell(std::string_view line, std::string& error) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == ' ' || c == '\t') {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else if (c == '\'') {
      const size_t close = line.find('\'', i + 1);
      if (close == std::string_view::npos) {
        error = "a ' that is not closed";
        return std::nullopt;
      }
      word.append(line.substr(i + 1, close - i - 1));
      i = close;
      inWord = true;
    } else if (c == '"') {
      for (++i;; ++i) {
        if (i == line.size()) {
          error = "a \" that is not closed";
          return std::nullopt;
        }
        const char d = line[i];
        if (d == '"') break;
        if (d == '$' || d == '`') {
          error = std::string("a ") + d + " in double quotes, which only a shell expands";
          return std::nullopt;
        }
        if (d == '\\' && i + 1 < line.size() &&
            std::string_view("$`\"\\").find(line[i + 1]) != std::string_view::npos) {
          ++i;
        }
        word.push_back(line[i]);
      }
      inWord = true;
    } else if (c == '\\') {
      if (i + 1 == line.size()) {
        error = "a \\ at the end of the line";
        return std::nullopt;
      }
      word.push_back(line[++i]);
      inWord = true;
    } else if (std::string_view("$`|&;<>()*?[").find(c) != std::string_view::npos ||
               (!inWord && (c == '#' || c == '~'))) {
      error = std::string("a ") + c + " outside quotes, which only a shell interprets";
      return std::nullopt;
    } else {
      word.push_back(c);
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

TEST(ShellSplitTest, SplitsAsAPosixShellDoes) {
  struct Case {
    std::string line;
    std::vector<std::string> words;
  };
  const Case cases[] = {
      {R"(vort64 /password "" /get "boot mode")", {"vort64", "/password", "", "/get", "boot mode"}},
      {"a   b\tc", {"a", "b", "c"}},
      {R"(x"a b"'c d'e)", {"xa bc de"}},
      {R"('' "")", {"", ""}},
      {R"('a\"b' "a\"b\\c\d")", {R"(a\"b)", R"(a"b\c\d)"}},
      {R"(a\ b \"c)", {"a b", "\"c"}},
      {"a=b,c# d~", {"a=b,c#", "d~"}},
  };
  for (const Case& c : cases) {
    std::string error;
    const auto words = SplitLikeAShell(c.line, error);
    EXPECT_EQ(words, std::optional(c.words)) << c.line << ": " << error;
  }
  for (const std::string line : {R"(a "b)", "a 'b", "a\\", "echo $HOME", R"("$x")", "a `b`", "a | b", "a > f", "a;b",
                                 "a *.bin", "a (b)", "# x", "~/a"}) {
    std::string error;
    EXPECT_FALSE(SplitLikeAShell(line, error).has_value()) << line;
    EXPECT_FALSE(error.empty()) << line;
  }
}

// A word as a shell line shows it: in double quotes when it is empty or holds a blank.
std::string Quoted(const std::string& word) {
  return word.empty() || word.find_first_of(" \t") != std::string::npos ? "\"" + word + "\"" : word;
}

// The interface versions an example exists on, by minor (the major is 2).
struct Minors {
  int from = 0;
  int to = std::numeric_limits<int>::max();
  bool operator==(const Minors&) const = default;
};

constexpr Minors kEveryVersion;

// The versions a README text says an example exists on: "interface 2.M and
// later", "from interface 2.M on", "interface 2.M and earlier", "between 2.A
// and 2.B".
Minors MinorsSaid(const std::string& text) {
  Minors minors;
  std::smatch m;
  if (std::regex_search(text, m, std::regex(R"(interfaces? 2\.(\d+) and later|from interface 2\.(\d+) on)"))) {
    minors.from = std::stoi(m[1].matched ? m[1].str() : m[2].str());
  }
  if (std::regex_search(text, m, std::regex(R"(interfaces? 2\.(\d+) and earlier)"))) minors.to = std::stoi(m[1]);
  if (std::regex_search(text, m, std::regex(R"(between 2\.(\d+) and 2\.(\d+))"))) {
    minors.from = std::stoi(m[1]);
    minors.to = std::stoi(m[2]);
  }
  return minors;
}

// The minor of the default machine, from the first line it makes the program print.
int DefaultMinor() {
  const std::string_view version = kVersion;
  return std::stoi(std::string(version.substr(version.find('.') + 1)));
}

// A machine to run examples on: `vort-sim create` with no --wmi (the default
// machine), or with --wmi 2.M.
struct Machine {
  std::optional<int> minor;
  std::string Name() const {
    return minor ? "a 2." + std::to_string(*minor) + " machine (vort-sim create DIR --wmi 2." + std::to_string(*minor) +
                       ")"
                 : "the default machine";
  }
  bool In(const Minors& minors) const {
    const int m = minor.value_or(DefaultMinor());
    return minors.from <= m && m <= minors.to;
  }
};

// The machines an example that exists on `minors` runs on: the default
// machine when it has it, and each bound the README names.
std::vector<Machine> MachinesFor(const Minors& minors) {
  std::vector<Machine> machines;
  if (minors.from != kEveryVersion.from) machines.push_back({minors.from});
  if (minors.to != kEveryVersion.to && minors.to != minors.from) machines.push_back({minors.to});
  if (Machine{}.In(minors) && (minors.from != DefaultMinor() || minors.to != DefaultMinor())) {
    machines.push_back({});
  }
  return machines;
}

// One command of an example, as the README has it.
struct Command {
  size_t line = 0;                 // of README.md
  std::string text;                // as written
  std::string stands;              // what a leading "..." stands for, when it has one
  bool runnable = false;           // a shell runs it as it is
  std::vector<std::string> words;  // after "vort64"
  int exitCode = 0;
};

// A run of commands on one fresh machine, in one fresh working directory.
struct Example {
  Machine machine;
  std::vector<Command> commands;
};

// What a person types where a command asks on the console: the self-test asks
// for the user's and then the supervisor's current and new password.
struct ConsoleAnswers {
  std::vector<std::string> function;
  std::string typed;
};
const ConsoleAnswers kConsoleAnswers[] = {
    {{"/get", "autotest"}, "old1 new1\nold2 new2\n"},
};

std::string TypedFor(const std::vector<std::string>& words) {
  for (const ConsoleAnswers& answers : kConsoleAnswers) {
    if (std::search(words.begin(), words.end(), answers.function.begin(), answers.function.end()) != words.end()) {
      return answers.typed;
    }
  }
  return "";
}

// The cells of a table row: split at each | outside a code span, trimmed.
std::vector<std::string> Cells(const std::string& row) {
  std::vector<std::string> cells;
  std::string cell;
  bool code = false;
  for (const char c : row) {
    if (c == '`') code = !code;
    if (c == '|' && !code) {
      cells.push_back(cell);
      cell.clear();
    } else {
      cell.push_back(c);
    }
  }
  cells.push_back(cell);
  for (auto& each : cells) {
    each.erase(0, each.find_first_not_of(' '));
    each.erase(each.find_last_not_of(' ') + 1);
  }
  // The row's leading and trailing | leave an empty cell at each end.
  if (cells.size() >= 2) cells = std::vector<std::string>(cells.begin() + 1, cells.end() - 1);
  return cells;
}

// The text of each code span (`...`) of a cell.
std::vector<std::string> CodeSpans(const std::string& cell) {
  std::vector<std::string> spans;
  for (size_t open = cell.find('`'); open != std::string::npos; open = cell.find('`', open)) {
    const size_t close = cell.find('`', open + 1);
    if (close == std::string::npos) break;
    spans.push_back(cell.substr(open + 1, close - open - 1));
    open = close + 1;
  }
  return spans;
}

struct Table {
  std::vector<std::string> header;
  std::vector<std::pair<size_t, std::vector<std::string>>> rows;  // index into the lines, cells
  size_t end = 0;                                                 // the first line after it
};

// The first table from line `from` on.
std::optional<Table> TableFrom(const std::vector<std::string>& lines, size_t from) {
  size_t at = from;
  while (at < lines.size() && !lines[at].starts_with("|")) {
    if (lines[at].starts_with("#")) return std::nullopt;  // the next section
    ++at;
  }
  if (at + 1 >= lines.size()) return std::nullopt;
  Table table;
  table.header = Cells(lines[at]);
  for (at += 2; at < lines.size() && lines[at].starts_with("|"); ++at) table.rows.push_back({at, Cells(lines[at])});
  table.end = at;
  return table;
}

size_t Column(const Table& table, const std::string& name) {
  return static_cast<size_t>(std::find(table.header.begin(), table.header.end(), name) - table.header.begin());
}

class ReadmeExamplesTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    std::ifstream in(VORT64_README);
    for (std::string line; std::getline(in, line);) {
      if (line.ends_with('\r')) line.pop_back();
      lines_.push_back(line);
    }
  }

  // A command of README line `index` (0-based); not runnable when a shell would not run it as it is.
  Command Read(size_t index, const std::string& text) {
    Command command;
    command.line = index + 1;
    command.text = text;
    std::string error;
    const auto words = SplitLikeAShell(text, error);
    if (!words || words->empty() || words->front() != "vort64") {
      ADD_FAILURE() << "README.md:" << command.line << ": `" << text
                    << "` is no vort64 command line a shell runs as it is" << (error.empty() ? "" : ": ") << error;
      return command;
    }
    command.runnable = true;
    command.words.assign(words->begin() + 1, words->end());
    return command;
  }

  // The function table: each row's commands on the machines of the versions its row names.
  void AddFunctionTable(std::vector<Example>& examples) {
    const auto heading = std::find(lines_.begin(), lines_.end(), "### Every function, with an example");
    ASSERT_NE(heading, lines_.end()) << "README.md has no function table";
    const auto table = TableFrom(lines_, static_cast<size_t>(heading - lines_.begin()) + 1);
    ASSERT_TRUE(table) << "README.md has no table under \"Every function, with an example\"";
    const size_t exampleColumn = Column(*table, "Example");
    ASSERT_LT(exampleColumn, table->header.size()) << "the function table has no Example column";
    ASSERT_FALSE(table->rows.empty());
    for (const auto& [index, cells] : table->rows) {
      ASSERT_LT(exampleColumn, cells.size()) << "README.md:" << index + 1 << ": a row without its Example";
      std::string row;
      for (const auto& cell : cells) row += cell + " ";
      std::vector<Command> commands;
      for (const std::string& span : CodeSpans(cells[exampleColumn])) {
        if (span.starts_with("vort64 ")) {
          commands.push_back(Read(index, span));
        } else if (span.starts_with("... ")) {
          if (commands.empty()) {
            ADD_FAILURE() << "README.md:" << index + 1 << ": `" << span << "` with no command before it";
            continue;
          }
          // "..." stands for the first command up to its function: the program and its password.
          const Command& first = commands.front();
          size_t lead = 0;
          while (lead < first.words.size() &&
                 (first.words[lead] == "/password" || first.words[lead] == "/password-file")) {
            lead += 2;
          }
          lead = std::min(lead, first.words.size());
          Command next = Read(index, "vort64" + span.substr(3));
          next.text = span;
          next.stands = "vort64";
          for (size_t i = 0; i < lead; ++i) next.stands += " " + Quoted(first.words[i]);
          next.runnable = next.runnable && first.runnable;
          next.words.insert(next.words.begin(), first.words.begin(), first.words.begin() + static_cast<long>(lead));
          commands.push_back(next);
        }
      }
      EXPECT_FALSE(commands.empty()) << "README.md:" << index + 1 << ": a function without an example command";
      if (commands.empty()) continue;
      // "this example ends with exit code N" beside an example that does not end with 0.
      std::smatch m;
      if (std::regex_search(row, m, std::regex(R"(this example ends with exit code (\d+))"))) {
        commands.back().exitCode = std::stoi(m[1]);
      }
      for (const Machine& machine : MachinesFor(MinorsSaid(row))) examples.push_back({machine, commands});
    }
  }

  // The password table, its rows in an order that works on one machine: the
  // supervisor row's Set first (the other rows give its password), then each
  // other row's Set, Change and Clear, then the supervisor row's Change and
  // Clear. The note under the table names the versions that have drives.
  void AddPasswordTable(std::vector<Example>& examples) {
    const auto header = std::find(lines_.begin(), lines_.end(), "| Password | Set | Change | Clear |");
    ASSERT_NE(header, lines_.end()) << "README.md has no password table";
    const auto table = TableFrom(lines_, static_cast<size_t>(header - lines_.begin()));
    ASSERT_TRUE(table);
    ASSERT_GE(table->rows.size(), 2u);
    ASSERT_EQ(table->rows.front().second.front(), "supervisor") << "the password table starts with the supervisor row";

    std::string note;
    size_t i = table->end;
    while (i < lines_.size() && lines_[i].empty()) ++i;
    for (; i < lines_.size() && !lines_[i].empty(); ++i) note += lines_[i] + " ";
    Minors drives = kEveryVersion;
    std::stringstream clauses(note);
    for (std::string clause; std::getline(clauses, clause, ';');) {
      if (clause.find("drives") != std::string::npos) drives = MinorsSaid(clause);
    }

    struct Row {
      std::vector<Command> steps;  // Set, Change, Clear
      Minors minors;
    };
    std::vector<Row> rows;
    for (const auto& [index, cells] : table->rows) {
      Row row;
      for (const std::string column : {"Set", "Change", "Clear"}) {
        const size_t at = Column(*table, column);
        ASSERT_LT(at, cells.size()) << "README.md:" << index + 1 << ": no " << column << " cell";
        const auto spans = CodeSpans(cells[at]);
        ASSERT_EQ(spans.size(), 1u) << "README.md:" << index + 1 << ": the " << column << " cell is not one command";
        row.steps.push_back(Read(index, "vort64 " + spans.front()));  // a cell is what follows "vort64"
      }
      row.minors = row.steps.front().text.find("hdd") != std::string::npos ? drives : kEveryVersion;
      rows.push_back(row);
    }

    std::vector<Machine> machines;
    for (const Row& row : rows) {
      for (const Machine& machine : MachinesFor(row.minors)) {
        if (std::none_of(machines.begin(), machines.end(),
                         [&machine](const Machine& other) { return other.minor == machine.minor; })) {
          machines.push_back(machine);
        }
      }
    }
    for (const Machine& machine : machines) {
      Example example{machine, {rows.front().steps[0]}};
      for (size_t r = 1; r < rows.size(); ++r) {
        if (machine.In(rows[r].minors))
          example.commands.insert(example.commands.end(), rows[r].steps.begin(), rows[r].steps.end());
      }
      example.commands.push_back(rows.front().steps[1]);
      example.commands.push_back(rows.front().steps[2]);
      examples.push_back(example);
    }
  }

  std::vector<std::string> lines_;
};

TEST_F(ReadmeExamplesTest, EveryExampleRunsAsWrittenWithTheExitCodeTheReadmePromises) {
  ASSERT_FALSE(lines_.empty()) << "cannot read " << VORT64_README;
  std::vector<Example> examples;
  AddFunctionTable(examples);
  AddPasswordTable(examples);
  ASSERT_FALSE(HasFatalFailure());

  for (size_t n = 0; n < examples.size(); ++n) {
    const Example& example = examples[n];
    // A machine and a working directory of its own, kept when it fails.
    machine_ = root_ / ("machine-" + std::to_string(n));
    work_ = root_ / ("work-" + std::to_string(n));
    std::filesystem::create_directories(work_);
    if (example.machine.minor) {
      CreateMachine({"--wmi", "2." + std::to_string(*example.machine.minor)});
    } else {
      CreateMachine();
    }
    ASSERT_FALSE(HasFatalFailure()) << example.machine.Name();
    for (size_t step = 0; step < example.commands.size(); ++step) {
      const Command& command = example.commands[step];
      if (!command.runnable) continue;  // said when it was read
      const ProcessResult r = Vort64(command.words, TypedFor(command.words));
      EXPECT_EQ(r.exitCode, command.exitCode)
          << "README.md:" << command.line << ": `" << command.text << "`"
          << (command.stands.empty() ? "" : " (\"...\" standing for `" + command.stands + "`)") << " on "
          << example.machine.Name() << ", command " << step + 1 << " of " << example.commands.size()
          << " on that machine, in " << work_.string() << ", exits with " << r.exitCode << ", the README promises "
          << command.exitCode << "\nstandard output:\n"
          << r.out << "\nstandard error:\n"
          << r.err;
    }
  }
}

// The usage the README shows is the one "--help" prints, line for line.
TEST_F(ReadmeExamplesTest, TheUsageIsTheOneTheProgramPrints) {
  const auto start = std::find(lines_.begin(), lines_.end(), "    Usage:");
  ASSERT_NE(start, lines_.end()) << "README.md shows no usage";
  std::string shown;
  for (auto line = start; line != lines_.end() && line->starts_with("    "); ++line) shown += line->substr(4) + "\n";
  const ProcessResult r = Vort64({"--help"});
  EXPECT_EQ(r.exitCode, 101);
  EXPECT_EQ(r.out, shown) << "README.md:" << (start - lines_.begin()) + 1;
}

}  // namespace
}  // namespace vort64::e2e
