#include "Args.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <utility>

namespace vialto::cli {
namespace {

// CLI11 takes the words last first.
std::vector<std::string> Reversed(const std::vector<std::string>& words) {
  return {words.rbegin(), words.rend()};
}

// The declared option an ArgumentMismatch is about: CLI11 starts its message with the option's
// name, with or without its dashes ("--frame: 1 required TEXT missing", "json was given a
// disallowed flag override").
std::string OptionNamed(const std::string& what, const OptionSpec& options) {
  std::string best;
  for (const auto* names : {&options.valued, &options.flags}) {
    for (const std::string& name : *names) {
      const std::string bare = name.substr(name.find_first_not_of('-'));
      for (const std::string& form : {name, bare}) {
        const bool named =
            what.rfind(form, 0) == 0 &&
            (what.size() == form.size() || what[form.size()] == ':' || what[form.size()] == ' ');
        if (named && name.size() > best.size()) best = name;
      }
    }
  }
  return best;
}

std::string UsageMessage(const CLI::ArgumentMismatch& e, const OptionSpec& options) {
  const std::string what = e.what();
  const std::string name = OptionNamed(what, options);
  if (name.empty()) return what;
  if (what.find("flag override") != std::string::npos) return "option " + name + " takes no value";
  return "option " + name + " needs a value";
}

// The option part of a word CLI11 left over: "--bogus=3" names "--bogus".
std::string OptionName(const std::string& word) {
  if (word.rfind("--", 0) == 0) return word.substr(0, word.find('='));
  return word;
}

// CLI11 reads "-o=out" as -o with the value "=out", which would quietly make a folder named
// "=out"; the tool refuses a short option written with '=' instead. Words that are the value of
// the option before them, and everything after "--", are left alone.
void RefuseShortOptionsWithEquals(const std::vector<std::string>& words,
                                  const OptionSpec& options) {
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (word == "--") return;
    if (std::find(options.valued.begin(), options.valued.end(), word) != options.valued.end()) {
      ++i;
      continue;
    }
    const bool shortWithEquals = word.size() > 2 && word[0] == '-' && word[1] != '-' &&
                                 !(word[1] >= '0' && word[1] <= '9') && word[2] == '=';
    if (shortWithEquals) throw UsageError("unknown option " + word);
  }
}

}  // namespace

Args::Args(const std::vector<std::string>& words, const OptionSpec& options) {
  CLI::App app;
  app.set_help_flag();  // help is asked for and answered before parsing (PrintHelpIfAsked)
  app.allow_extras();   // unknown options are reported below, in the tool's words
  std::vector<std::pair<std::string, CLI::Option*>> declared;
  for (const std::string& name : options.valued) {
    declared.emplace_back(name, app.add_option(name)->expected(1)->take_all());
  }
  for (const std::string& name : options.flags) {
    declared.emplace_back(name, app.add_flag(name)->disable_flag_override());
  }
  app.add_option("words", positionals_);

  RefuseShortOptionsWithEquals(words, options);
  std::vector<std::string> reversed = Reversed(words);
  try {
    app.parse(reversed);
  } catch (const CLI::ArgumentMismatch& e) {
    throw UsageError(UsageMessage(e, options));
  } catch (const CLI::ParseError& e) {
    throw UsageError(e.what());
  }
  for (const std::string& word : app.remaining()) {
    // CLI11 passes the first "--" on with the words it did not take; it is no option.
    if (word != "--") throw UsageError("unknown option " + OptionName(word));
  }
  for (const auto& [name, option] : declared) {
    if (option->count() == 0) continue;
    std::vector<std::string>& values = values_[name];
    if (option->get_items_expected_max() == 0) {
      values.assign(option->count(), "");
    } else {
      values = option->results();
    }
  }
}

std::optional<std::string> Args::Value(const std::string& name) const {
  const auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  return it->second.back();
}

std::vector<std::string> Args::Values(const std::string& name) const {
  const auto it = values_.find(name);
  return it == values_.end() ? std::vector<std::string>{} : it->second;
}

bool WantsHelp(const std::vector<std::string>& words) {
  CLI::App app;
  app.allow_extras();
  std::vector<std::string> ignored;
  app.add_option("words", ignored);
  std::vector<std::string> reversed = Reversed(words);
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    return true;
  } catch (const CLI::ParseError&) {
    return false;  // the command's own parse reports it
  }
  return false;
}

bool PrintHelpIfAsked(const std::vector<std::string>& words, const char* text) {
  if (!WantsHelp(words)) return false;
  std::fputs(text, stdout);
  return true;
}

}  // namespace vialto::cli
