#pragma once
// One program per user and configuration: the first start listens on a local
// socket named after the user and the configuration file; a later start hands
// its files to it and ends. Users (and tests) with separate configuration
// folders get separate programs. UI thread only.

#include <QLockFile>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace qf::app {

class SingleInstance {
public:
    // configurationFile: the cfg file this program writes (its path names the
    // instance).
    explicit SingleInstance(const QString& configurationFile);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    enum class Role {
        First, // no program ran: this one listens (or runs alone when it cannot)
        HandedOver, // a running program took the files; this start ends
    };
    // Blocks for at most a few seconds while a program that starts at the
    // same moment decides. On HandedOver, *report is a line for the user.
    Role claim(const QStringList& files, QString* report);

    // Called for every later start with its files (maybe none); returns the
    // number of rows the task list holds afterwards.
    using Handler = std::function<int(const QStringList& files)>;
    void setHandler(Handler handler) { handler_ = std::move(handler); }

    QString serverName() const { return name_; }
    bool listening() const { return server_ != nullptr; }

private:
    class Server;
    class Client;
    bool handOver(const QStringList& files, QString* report);
    void listen();

    QString name_;
    QLockFile lock_;
    std::unique_ptr<Server> server_;
    Handler handler_;
};

} // namespace qf::app
