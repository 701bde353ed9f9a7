#include "Metrics.h"

namespace qvc::bridge {

namespace {

const char* KindName(ExchangeKind kind) {
    switch (kind) {
    case ExchangeKind::Connect:
        return "connect";
    case ExchangeKind::Command:
        return "command";
    case ExchangeKind::Read:
        return "read";
    case ExchangeKind::Forward:
        return "forward";
    case ExchangeKind::Poll:
        break;
    }
    return "poll";
}

void Gauge(QByteArray& out, const char* name, const char* help, double value) {
    out += QByteArray("# HELP ") + name + ' ' + help + "\n# TYPE " + name + " gauge\n" + name +
           ' ' + QByteArray::number(value) + '\n';
}

} // namespace

void Metrics::Exchange(ExchangeKind kind, double seconds, bool failed) {
    Counts& c = exchanges_[kind];
    ++c.total;
    c.failed += failed ? 1 : 0;
    c.sum += seconds;
    for (std::size_t i = 0; i < kBuckets.size(); ++i) {
        c.buckets[i] += seconds <= kBuckets[i] ? 1 : 0;
    }
}

QByteArray Metrics::Text(const Gauges& g) const {
    QByteArray out;
    Gauge(out, "quorvel_link_up", "Whether the link to the switcher is up.", g.linkUp ? 1 : 0);
    Gauge(out, "quorvel_revision", "The revision of the state.", g.revision);
    Gauge(out, "quorvel_websocket_clients", "WebSocket clients connected.", g.webSocketClients);
    Gauge(out, "quorvel_queue_length", "Requests waiting for the link.", g.queueLength);
    Gauge(out, "quorvel_http_connections", "Open HTTP connections.", g.connections);

    out += "# HELP quorvel_exchanges_total Exchanges with the switcher by kind.\n"
           "# TYPE quorvel_exchanges_total counter\n";
    for (const auto& [kind, c] : exchanges_) {
        out += QByteArray("quorvel_exchanges_total{kind=\"") + KindName(kind) + "\"} " +
               QByteArray::number(c.total) + '\n';
    }
    out += "# HELP quorvel_exchange_failures_total Exchanges that failed, by kind.\n"
           "# TYPE quorvel_exchange_failures_total counter\n";
    for (const auto& [kind, c] : exchanges_) {
        out += QByteArray("quorvel_exchange_failures_total{kind=\"") + KindName(kind) + "\"} " +
               QByteArray::number(c.failed) + '\n';
    }
    out += "# HELP quorvel_exchange_duration_seconds How long exchanges took.\n"
           "# TYPE quorvel_exchange_duration_seconds histogram\n";
    for (const auto& [kind, c] : exchanges_) {
        const QByteArray labels = QByteArray("kind=\"") + KindName(kind) + '"';
        for (std::size_t i = 0; i < kBuckets.size(); ++i) {
            out += "quorvel_exchange_duration_seconds_bucket{" + labels + ",le=\"" +
                   QByteArray::number(kBuckets[i]) + "\"} " + QByteArray::number(c.buckets[i]) +
                   '\n';
        }
        out += "quorvel_exchange_duration_seconds_bucket{" + labels + ",le=\"+Inf\"} " +
               QByteArray::number(c.total) + '\n';
        out += "quorvel_exchange_duration_seconds_sum{" + labels + "} " +
               QByteArray::number(c.sum) + '\n';
        out += "quorvel_exchange_duration_seconds_count{" + labels + "} " +
               QByteArray::number(c.total) + '\n';
    }
    out += "# HELP quorvel_http_requests_total HTTP requests answered, by status.\n"
           "# TYPE quorvel_http_requests_total counter\n";
    for (const auto& [status, n] : requests_) {
        out += "quorvel_http_requests_total{status=\"" + QByteArray::number(status) + "\"} " +
               QByteArray::number(n) + '\n';
    }
    return out;
}

} // namespace qvc::bridge
