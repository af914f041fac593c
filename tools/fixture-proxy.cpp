// Serves the project's fixture weather pages on 127.0.0.1 as an HTTP proxy, so
// the real programs reach "the weather sites" with no network:
//
//   skyvane-fixture-proxy [--routes FILE] [--root DIR]
//
// It prints "port N" on its first line once it listens and serves until
// SIGTERM or SIGINT. SIGHUP reads the routes file again: its file, any and
// stall rules replace the earlier ones (maps stay), so a script can turn the
// same proxy into, say, a captive portal while a program keeps using it.
// The routes file holds one rule a line ('#' starts a comment):
//
//   map  <host> <folder>               files for host come from <root>/<folder>
//   file <host> <path> <file> [status] host ("*" for any) and path answered
//                                      with <root>/<file>; a path with "?"
//                                      must match whole
//   any  <file> [status]               every request (any host, any path)
//                                      answered with <root>/<file>, as a
//                                      captive portal or a broken site does
//   stall <host> <path>                the connection stays open and silent

#include <csignal>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "support/FixtureServer.h"

namespace {

bool loadRoutes(FixtureServer& server, const std::string& file) {
    std::ifstream in(file);
    if (!in) {
        std::cerr << "skyvane-fixture-proxy: cannot read routes file " << file << "\n";
        return false;
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (size_t hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::string verb, host, second, third;
        if (!(words >> verb)) continue;
        bool ok = false;
        if (verb == "map" && (words >> host >> second)) {
            server.mapHost(host, second);
            ok = true;
        } else if (verb == "file" && (words >> host >> second >> third)) {
            int status = 200;
            words >> status;
            server.routeFile(host, second, third, status);
            ok = true;
        } else if (verb == "any" && (words >> second)) {
            int status = 200;
            words >> status;
            server.routeFile("*", "*", second, status);
            ok = true;
        } else if (verb == "stall" && (words >> host >> second)) {
            server.route(host, second, FixtureReply::stall());
            ok = true;
        }
        if (!ok) {
            std::cerr << file << ":" << number << ": not a route: " << line << "\n";
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string routes = std::string(SKYVANE_FIXTURES_DIR) + "/sites.routes";
    std::string root = SKYVANE_FIXTURES_DIR;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (i + 1 < argc && arg == "--routes") {
            routes = argv[++i];
        } else if (i + 1 < argc && arg == "--root") {
            root = argv[++i];
        } else {
            std::cerr << "usage: skyvane-fixture-proxy [--routes FILE] [--root DIR]\n";
            return 2;
        }
    }

    // Block the stop and reload signals first, so no thread the server starts
    // takes them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    FixtureServer server(root);
    if (!loadRoutes(server, routes)) return 1;
    std::cout << "port " << server.port() << std::endl;

    int signal = 0;
    while (sigwait(&stopSignals, &signal) == 0 && signal == SIGHUP) {
        server.clearRoutes();
        // A file that no longer reads leaves no routes: the maps still answer.
        if (loadRoutes(server, routes)) std::cerr << "skyvane-fixture-proxy: routes read again\n";
    }
    server.stop();
    return 0;
}
