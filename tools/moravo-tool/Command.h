#pragma once

namespace tool {

/// One subcommand of moravo-tool. `run` receives the words after the
/// subcommand's name and answers the process exit code.
struct Command {
    const char* name;
    const char* usage;   // the arguments, as shown by "moravo-tool help"
    const char* summary; // one line
    int (*run)(int argc, char** argv);
};

/// Every subcommand, in the order "help" lists them; ends with a null name.
extern const Command commands[];

// The subcommands' entry points, one per source file.
int runProps(int argc, char** argv);
int runSurvey(int argc, char** argv);
int runLogin(int argc, char** argv);
int runKeygen(int argc, char** argv);
int runPublish(int argc, char** argv);
int runScan(int argc, char** argv);
int runVerify(int argc, char** argv);
int runUpdate(int argc, char** argv);
int runWidgets(int argc, char** argv);

} // namespace tool
