// The switcher's behaviour: its state and what each request line does to it.
// No I/O here; the Simulator frames the answers and puts them on the wire.
#pragma once

#include "SimOptions.h"
#include "SimState.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvsim {

// The status queries in read-back order; the index is also the tag byte.
enum class Query { Minfoqv, Ainfoqv, Oinfoqv, Opinfoqv, Pinfoqv, Ginfoqv, Pginfoqv };

struct Answer {
    enum class Kind {
        Probe,     // bare CR: '#'
        Prompt,    // a write command that was applied: '#'
        Malformed, // unknown or malformed line, nothing changed: '#'
        Status,    // a status query: framed reply of `payload`
    };
    Kind kind = Kind::Malformed;
    Query query = Query::Minfoqv;
    std::vector<std::uint8_t> payload;
};

class Switcher {
  public:
    explicit Switcher(const SimOptions& options);

    // Handles one request line (without its CR). Without `payload`, a status
    // query's answer carries no payload (nobody will read it).
    Answer Handle(std::string_view line, bool payload = true);

    const SimState& State() const { return state_; }
    void SeedDemo();

  private:
    bool Apply(const std::string& word, const std::vector<long>& args,
               const std::vector<std::string>& tokens);
    std::optional<bool> ApplyRouting(const std::string& word, const std::vector<long>& args);
    std::optional<bool> ApplySettings(const std::string& word, const std::vector<long>& args,
                                      const std::vector<std::string>& tokens);
    std::optional<bool> ApplyPresetsAndGroups(const std::string& word,
                                              const std::vector<long>& args);
    bool Reset(const std::string& kind);
    bool Rtemp(long o, long v, long a);
    void Take(bool commit);
    void Clear();
    void StorePreset(int p);
    void RecallPreset(int p);
    bool GroupAdd(int g, long o, long i);
    bool GroupDel(int g, long o, long i);
    void GroupClear(int g);
    void FactoryReset();
    std::vector<std::uint8_t> Payload(Query q, int presetGroup) const;

    SimState state_;
    bool firmwareGiven_ = false;
    Settings savedSettings_; // RESETQV R returns to these
    std::array<std::uint8_t, 4> factoryIp_;
};

// The query word of a query ("MINFOQV", ...).
const char* QueryWord(Query q);

} // namespace qvsim
