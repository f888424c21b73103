#pragma once
// The command line as the programs without a window (zarvo-export, zarvo-cli) read it:
// options stand before or after the operands, "--" ends them and a lone "-" is an
// operand; a long option's value follows "=" or comes as the next word, and the short
// option named at construction may have its value joined to it ("-oDIR"). Errors are
// texts for the usage message: "option --log needs a value".

#include <optional>
#include <string>

class TCommandLine {
 public:
  TCommandLine(int argc, char** argv, std::string joinedShort = {})
      : argc_(argc), argv_(argv), joinedShort_(std::move(joinedShort)) {}

  // Moves to the next word; false when none is left.
  bool Next() {
    if (++at_ >= argc_) return false;
    word_ = argv_[at_];
    inline_.reset();
    option_ = !ended_ && word_.size() > 1 && word_[0] == '-';
    if (!option_) return true;
    if (word_ == "--") {
      ended_ = true;
      return Next();
    }
    if (word_.rfind("--", 0) == 0) {
      if (const std::size_t eq = word_.find('='); eq != std::string::npos) {
        inline_ = word_.substr(eq + 1);
        word_.resize(eq);
      }
    } else if (!joinedShort_.empty() && word_.rfind(joinedShort_, 0) == 0 && word_.size() > joinedShort_.size()) {
      inline_ = word_.substr(joinedShort_.size());
      word_ = joinedShort_;
    }
    return true;
  }

  bool IsOption() const { return option_; }
  // The option's name without its "=value", or the operand.
  const std::string& Word() const { return word_; }

  // The option's value into into; an error for a second one or none.
  std::optional<std::string> Value(std::optional<std::string>& into) {
    if (into) return "option " + word_ + " given twice";
    if (inline_)
      into = *inline_;
    else if (at_ + 1 < argc_)
      into = argv_[++at_];
    else
      return "option " + word_ + " needs a value";
    return std::nullopt;
  }
  // A switch: into becomes true; an error for a value.
  std::optional<std::string> Flag(bool& into) {
    if (inline_) return "option " + word_ + " takes no value";
    into = true;
    return std::nullopt;
  }

 private:
  int argc_;
  char** argv_;
  std::string joinedShort_;
  int at_ = 0;
  std::string word_;
  std::optional<std::string> inline_;
  bool option_ = false;
  bool ended_ = false;
};
