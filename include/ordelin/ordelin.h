// Ordelin: PLC communication driver for HMI runtimes.
//
// This is the one header a host includes. It declares the records the host
// and the driver share in place (their layouts are fixed, so a host compiled
// separately sees the same bytes) and the exported functions, all with C
// linkage and plain names so a runtime can resolve them by name.
#ifndef ORDELIN_ORDELIN_H
#define ORDELIN_ORDELIN_H

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QVector>

#include <cstddef>

#if defined(ORDELIN_BUILDING_LIBRARY)
#define ORDELIN_EXPORT __attribute__((visibility("default")))
#else
#define ORDELIN_EXPORT
#endif

// The host's communication-settings record. The host owns it and keeps it
// alive; the driver reads and writes it in place. Words 0 to 20 belong to
// the host alone.
struct ComInfo {
    qint32 hostWords[6];
    qint32 defaultStation;    // station put into requests the driver builds
    qint32 retryLimit;        // rejected replies tolerated before a drop
    qint32 retryCount;        // driver: rejections since the last drop
    qint32 perRequestStation; // nonzero: requests keep the host's station
    qint32 startupPending;    // driver: 1 while the link start-up is due
    qint32 framesInBatch;     // driver: frames in the batch just encoded
    qint32 framesAnswered;    // driver: accepted replies in that batch
    qint32 registerMark;      // driver: set to 0 by SetComInfo
    qint32 protocolMode;      // 0: open the link with the start-up exchange
    qint32 protocolParam;     // carried into requests, not interpreted
    qint32 writeMode;         // 2: SetRegisterData queues writes to the PLC
    qint32 readCycleDone;     // driver: 1 once every cyclic read had its turn
    qint32 hostTag;           // first argument of the completion callback
};

// One request: a family, an address (or a run of them), a direction and,
// for writes, the value bytes (one per bit, two per word, low byte first).
struct VarItem {
    qint32 requestId;
    qint32 requestGroup;
    qint32 operation;     // 0 read, 1 write
    qint32 settingsCopy1; // protocolMode when the driver built the request
    qint32 settingsCopy2; // protocolParam when the driver built the request
    qint32 resultCode;
    QString registerName; // "RLY", "T", "C", "DM", "TM", "TV_c", "TV_p", "CV_c", "CV_p", "CTH"
    QString addressText;
    qint32 auxValue;
    qint32 address;       // relay: channel * 16 + bit; otherwise the element number
    qint32 station;
    qint32 count;
    qint32 reserved1;
    qint32 reserved2;
    QByteArray data;
};

// The host editor's variable definition, as handed to ReCreatReadVarList.
struct VarDef {
    QString hostText1;
    quint8 hostBytes[4];
    QString hostText2;
    QString addressText;
    QString registerName;
    qint32 count;
    qint32 hostValue;
    qint32 address;
};

// One command frame, read in place by the host through the pointer that
// ComCommunication returns. Valid until the DataCom call that removes it.
// The command owns its bytes, and a NUL follows the last of them, so a copy
// the host keeps stays valid also after the library is unloaded.
struct SendFrame {
    QByteArray command;   // bytes to transmit
    qint32 commandLength; // always command.size()
    qint32 replyLength;   // exact reply length expected, CR LF included
    qint32 valueOffset;   // first value character in the reply
    qint32 valueWidth;    // number of value characters
    VarItem request;      // copy of the request the frame serves
    qint32 spare1;
    qint32 spare2;
    qint32 spare3;
};

// Completion callback: hostTag, requestId, requestGroup, status
// (1 answered, 2 dropped after its retries). It runs on the communication
// thread, inside DataCom, while the driver holds its list lock. The exports
// that take that lock refuse a call from the callback, change nothing and
// return what they return for a failed call: AddListWriteVar the write
// list's size as it stands, AddListOnceReadVar 0 (the record untouched),
// ReCreatReadVarList 0 (the cyclic list kept), and SetRegisterData 0 when
// writeMode is 2 (with another writeMode it only stores into the image and
// works). The callback may extend the cyclic list with AddListReadVar and
// read the image with GetRegisterData. It should return quickly: polling
// waits for it.
typedef void (*CompletionCallback)(int hostTag, int requestId, int requestGroup, int status);

static_assert(offsetof(ComInfo, defaultStation) == 24, "ComInfo layout");
static_assert(offsetof(ComInfo, retryLimit) == 28, "ComInfo layout");
static_assert(offsetof(ComInfo, retryCount) == 32, "ComInfo layout");
static_assert(offsetof(ComInfo, perRequestStation) == 36, "ComInfo layout");
static_assert(offsetof(ComInfo, startupPending) == 40, "ComInfo layout");
static_assert(offsetof(ComInfo, framesInBatch) == 44, "ComInfo layout");
static_assert(offsetof(ComInfo, framesAnswered) == 48, "ComInfo layout");
static_assert(offsetof(ComInfo, registerMark) == 52, "ComInfo layout");
static_assert(offsetof(ComInfo, protocolMode) == 56, "ComInfo layout");
static_assert(offsetof(ComInfo, protocolParam) == 60, "ComInfo layout");
static_assert(offsetof(ComInfo, writeMode) == 64, "ComInfo layout");
static_assert(offsetof(ComInfo, readCycleDone) == 68, "ComInfo layout");
static_assert(offsetof(ComInfo, hostTag) == 72, "ComInfo layout");
static_assert(sizeof(ComInfo) == 76, "ComInfo layout");

// The records that hold Qt values are laid out in terms of those values'
// sizes: QString and QByteArray are one pointer wide under Qt 5 and three
// under Qt 6, so a host and its driver agree only when they share one Qt
// major version. ComInfo holds no Qt value and is the same under both.
static_assert(sizeof(QString) == (QT_VERSION_MAJOR < 6 ? 1 : 3) * sizeof(void *)
                  && sizeof(QByteArray) == sizeof(QString) && alignof(QString) == alignof(void *),
              "QString and QByteArray as the records below assume them");
static_assert(offsetof(VarItem, resultCode) == 20, "VarItem layout");
static_assert(offsetof(VarItem, registerName) == 24, "VarItem layout");
static_assert(offsetof(VarItem, addressText) == 24 + sizeof(QString), "VarItem layout");
static_assert(offsetof(VarItem, auxValue) == 24 + 2 * sizeof(QString), "VarItem layout");
static_assert(offsetof(VarItem, reserved2) == offsetof(VarItem, auxValue) + 20, "VarItem layout");
static_assert(offsetof(VarItem, data) == offsetof(VarItem, reserved2) + 4, "VarItem layout");

// hostBytes takes 8 bytes: its 4 and the padding up to the next QString.
static_assert(offsetof(VarDef, hostBytes) == sizeof(QString), "VarDef layout");
static_assert(offsetof(VarDef, count) == 4 * sizeof(QString) + 8, "VarDef layout");
static_assert(offsetof(VarDef, address) == offsetof(VarDef, count) + 8, "VarDef layout");

static_assert(offsetof(SendFrame, commandLength) == sizeof(QByteArray), "SendFrame layout");
static_assert(offsetof(SendFrame, valueWidth) == sizeof(QByteArray) + 12, "SendFrame layout");
static_assert(offsetof(SendFrame, request) == sizeof(QByteArray) + 16, "SendFrame layout");
static_assert(offsetof(SendFrame, spare1) == offsetof(SendFrame, request) + sizeof(VarItem), "SendFrame layout");
static_assert(offsetof(SendFrame, spare3) == offsetof(SendFrame, spare1) + 8, "SendFrame layout");

extern "C" {

// Registration, before polling starts.
ORDELIN_EXPORT void SetComInfo(ComInfo *comInfo);
ORDELIN_EXPORT void FlashLocalRegister(int first, int second, int third);
ORDELIN_EXPORT void RegistCallBackFuncIntf(CompletionCallback callback, int context);

// The poll loop, on one communication thread: send the frame's
// commandLength bytes, collect a reply of replyLength bytes, hand it back.
ORDELIN_EXPORT SendFrame *ComCommunication();
ORDELIN_EXPORT int DataCom(QByteArray &reply);

// Request lists. Every count a host passes (here, to GetRegisterData and to
// AddrMutilCopy) is honoured up to one ceiling (docs/integration.md, "Limits").
ORDELIN_EXPORT int AddListReadVar(VarItem *item);
ORDELIN_EXPORT int ReCreatReadVarList(QList<VarDef> *definitions);
ORDELIN_EXPORT int AddListOnceReadVar(VarItem *item);
ORDELIN_EXPORT int AddListWriteVar(VarItem *item);
ORDELIN_EXPORT int SetRegisterData(QString &registerName, int address, int station, QByteArray &data, int count);

// The register image, served from memory.
ORDELIN_EXPORT int GetRegisterData(QString registerName, int address, int station, QByteArray &data, int count);

// Address services for the host's editor; stateless.
ORDELIN_EXPORT int AddrStringToInt(QString registerName, QString addressText);
ORDELIN_EXPORT QString CheckAddrCorrect(QString registerName, QString addressText, int &address,
                                        int extent, int language, int addressType);
ORDELIN_EXPORT QString AddrMutilCopy(QString registerName, int start, int count, int step,
                                     QList<QString> &texts, QVector<int> &values, int language);

} // extern "C"

#endif // ORDELIN_ORDELIN_H
