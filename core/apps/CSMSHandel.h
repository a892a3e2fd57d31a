#pragma once
#include "core/sqlite/CCommonInterFace.h"

#include <cstdint>

class CSMS;

// Carves the rows of the Messages handle table (live ones included) from its own
// b-tree leaf pages, so that deleted messages whose handle was deleted too still get an
// address. Reports each handle to the parent parser.
class CSMSHandel : public CCommonInterFace {
  public:
    CSMSHandel(CSMS* parent, const char* path, IParserOwner* owner);
    ~CSMSHandel() override;

    bool Scan();

    bool PrepareTable() override;
    bool OnCarvedRecord(CarvedRecord* record, int32_t rowid) override;
    bool CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) override;

  private:
    enum class Rule : uint8_t { None, Id, Service, UncanonicalizedId, Country };

    CSMS* parent = nullptr;
    int idColumn = -1;
    std::vector<Rule> columnRules;
};
