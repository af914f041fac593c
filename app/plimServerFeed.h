#pragma once
// Lets the menu controller feed a local XML feed server: the controller's
// feed interface over an owned plimServer.

#include <memory>
#include <string>

#include "app/plimServer.h"
#include "menu/PlimMenuController.h"

class plimServerFeed : public PlimFeedServer {
public:
    explicit plimServerFeed(int port) : server_(std::make_unique<plimServer>(port)) {}

    bool startServer() override { return server_->start(); }
    void clearData() override { server_->clearData(); }
    void enableAdvance() override { server_->enableAdvance(); }
    void setHash(const std::string& city, const StringMap& table) override { server_->setHash(city, table); }

    plimServer& server() { return *server_; }

private:
    std::unique_ptr<plimServer> server_;
};
