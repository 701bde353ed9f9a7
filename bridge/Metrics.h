// What /metrics reports, in the Prometheus text format: the link, the
// revision, exchanges and their failures by kind with a duration histogram,
// HTTP requests by status, WebSocket clients and the queue.
#pragma once

#include <QByteArray>
#include <array>
#include <map>

namespace qvc::bridge {

// Forward: a line of a switcher port client.
enum class ExchangeKind { Connect, Command, Read, Poll, Forward };

class Metrics {
  public:
    void Exchange(ExchangeKind kind, double seconds, bool failed);
    void Request(int status) { ++requests_[status]; }

    struct Gauges {
        bool linkUp = false;
        int revision = 0;
        int webSocketClients = 0;
        int queueLength = 0;
        int connections = 0;
    };
    QByteArray Text(const Gauges& gauges) const;

    static constexpr std::array<double, 9> kBuckets = {0.005, 0.01, 0.025, 0.05, 0.1,
                                                       0.25,  0.5,  1.0,   2.5};

  private:
    struct Counts {
        long long total = 0;
        long long failed = 0;
        std::array<long long, kBuckets.size()> buckets{};
        double sum = 0;
    };
    std::map<ExchangeKind, Counts> exchanges_;
    std::map<int, long long> requests_;
};

} // namespace qvc::bridge
