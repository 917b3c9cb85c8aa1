#pragma once
// TDataSetProvider: opens its dataset on request, packs field descriptions and rows into a data packet
// of the engine's format, and closes the dataset again. A client dataset reaches it through a local
// server object (TLocalAppServer) that turns every failure inside a request into a failure code with
// the message recorded, as a call across a component boundary would.
//
// A request for all rows opens, reads and closes the dataset at once. A request for fewer leaves a read
// open: the dataset stays open on the next row to send, and further requests without grMetaData take
// the rows on from there until the end is reached (then the provider resets) or a reset request comes.
// Each request with grMetaData starts a new read (ending one still open) and answers its number in
// OwnerData; a further request must bring that number back, so that it can never be served rows of
// another client's read, nor rows from the start again after the dataset was closed under it.
#include "data/DSEngine.h"
#include "data/DataSet.h"
#include "data/Params.h"

#include <cstdint>

enum TProviderOption {
    poFetchBlobsOnDemand, poFetchDetailsOnDemand, poIncFieldProps, poCascadeDeletes, poCascadeUpdates,
    poReadOnly, poAllowMultiRecordUpdates, poDisableInserts, poDisableEdits, poDisableDeletes, poNoReset,
    poAutoRefresh, poPropogateChanges, poAllowCommandText, poRetainServerOrder
};
// A set of TProviderOption, one bit each (1 << option).
using TProviderOptions = uint32_t;

// AS_GetRecords option bits.
constexpr int grMetaData = 1;
constexpr int grReset = 2;

// A data packet as the writer that made it holds it.
struct TDataPacket {
    DSPtr<IDSWriter> writer;
    const uint8_t* data = nullptr;
    uint64_t size = 0;
};

class TDataSetProvider : public TComponent {
    MORVANE_CLASS_PROPS(TDataSetProvider, TComponent)
public:
    explicit TDataSetProvider(TComponent* owner);
    ~TDataSetProvider() override;

    TDataSet* DataSet() const { return dataSet_; }
    void SetDataSet(TDataSet* dataSet);
    TProviderOptions Options() const { return options_; }
    void SetOptions(TProviderOptions options) { options_ = options; }
    bool HasOption(TProviderOption o) const { return (options_ >> o) & 1u; }
    int RowsSent() const { return rowsSent_; }
    // A read left open by a request for fewer rows than were left.
    bool Reading() const { return reading_; }

    // The request of a client: count rows (-1 all) from the dataset's current row on, with field
    // descriptions when `options` has grMetaData; grReset first resets (a read still open is ended only
    // by its own client). recsOut answers the rows written; ownerData the read's number (in: of the
    // read a further request continues). Failures propagate (the local server object turns them into
    // codes).
    void GetRecords(int count, int& recsOut, int options, const AnsiString& commandText, const TParams* params,
                    int64_t& ownerData, TDataPacket& packet);
    // Closes the dataset when the provider opened it, else moves it to its first row; ends the read.
    void Reset();

protected:
    void Notification(TComponent* component, Operation operation) override;

private:
    void writeRows(int count, int& recsOut, TDataPacket& packet, bool begin);

    TDataSet* dataSet_ = nullptr;
    TProviderOptions options_ = 0;
    bool openedDataSet_ = false;
    int rowsSent_ = 0;
    TParams lastParams_;
    int64_t read_ = 0;         // number of the latest read
    bool reading_ = false;     // it is still open
    bool rowPending_ = false;  // the dataset stands on the last row sent: the next request moves on first
};

// The provider's server object as a client dataset calls it. Calls answer 0 or a negative failure
// code (0x8000FFFF unless the failure carried a negative code of its own); the failure's message is
// kept as the thread's error information.
class TLocalAppServer {
public:
    explicit TLocalAppServer(TDataSetProvider* provider) : provider_(provider) {}
    int32_t AS_GetRecords(const AnsiString& providerName, int count, int& recsOut, int options,
                          const AnsiString& commandText, TParams* params, int64_t& ownerData,
                          TDataPacket& packet);
    TDataSetProvider* Provider() const { return provider_; }

private:
    TDataSetProvider* provider_;
};

constexpr int32_t E_UNEXPECTED_FAILURE = static_cast<int32_t>(0x8000FFFF);

// Raises EOleException for a failure code with the recorded error information (trailing blanks,
// control characters and periods removed), or "OLE error %.8x" without any.
[[noreturn]] void RaiseOleError(int32_t code);
