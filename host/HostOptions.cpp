#include "HostOptions.h"

#include <cstdlib>

bool ParseHostOptions(const std::vector<std::string>& args, HostOptions* options, std::string* error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= args.size()) {
                *error = arg + " needs a value";
                return false;
            }
            *out = args[++i];
            return true;
        };
        std::string number;
        if (arg == "--mailbox") {
            if (!value(&options->mailbox)) return false;
        } else if (arg == "--plugin") {
            if (!value(&options->plugin)) return false;
            options->pluginGiven = true;
        } else if (arg == "--no-plugin") {
            options->noPlugin = true;
        } else if (arg == "--account") {
            if (!value(&options->account)) return false;
        } else if (arg == "--script") {
            if (!value(&options->scriptFile)) return false;
        } else if (arg == "--do") {
            std::string command;
            if (!value(&command)) return false;
            options->commands.push_back(command);
        } else if (arg == "--out") {
            if (!value(&options->outFile)) return false;
        } else if (arg == "--utf8") {
            options->utf8 = true;
        } else if (arg == "--hide") {
            options->hide = true;
        } else if (arg == "--drop-posted-receive") {
            options->dropPostedReceive = true;
        } else if (arg == "--refuse-import-after") {
            // 0 is a count here: a host that refuses every import.
            if (!value(&number)) return false;
            char* end = nullptr;
            long n = std::strtol(number.c_str(), &end, 10);
            if (number.empty() || *end != '\0' || n < 0 || n > 1000000) {
                *error = arg + " needs a number from 0";
                return false;
            }
            options->refuseImportAfter = static_cast<int>(n);
        } else if (arg == "--unexpected-ms" || arg == "--receive-timeout-ms") {
            if (!value(&number)) return false;
            int n = std::atoi(number.c_str());
            if (n <= 0) {
                *error = arg + " needs a positive number";
                return false;
            }
            if (arg == "--unexpected-ms") {
                options->unexpectedMs = static_cast<unsigned>(n);
            } else {
                options->receiveTimeoutMs = n;
            }
        } else if (!arg.empty() && arg[0] != '-' && options->mailbox.empty()) {
            options->mailbox = arg;
        } else {
            *error = "unknown option " + arg;
            return false;
        }
    }
    return true;
}
