// The data set: a cursor over the records of a table with one current record, the state machine
// of browsing, editing, inserting and key entry, record filters (evaluated here, and as far as
// it can be in the access layer too) and the events around each step.  Descendants open the
// cursor (TTable).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/classes/component.h"
#include "dataset/dbilink.h"
#include "dataset/fields.h"

namespace tw {

class TDataSet;
class TFilterExpression;

enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert, dsSetKey, dsCalcFields };

using TDataSetNotifyEvent = std::function<void(TDataSet*)>;
using TFilterRecordEvent = std::function<void(TDataSet*, bool& accept)>;

class TDataSet : public TComponent {
  TW_CLASS(TDataSet, TComponent)
 public:
  explicit TDataSet(TComponent* owner);
  ~TDataSet() override;

  // Opening and closing.
  void Open();
  void Close();
  bool Active() const { return FState != TDataSetState::dsInactive; }
  void SetActive(bool value);
  TDataSetState State() const { return FState; }

  // Moving.
  void First();
  void Last();
  void Next();
  void Prior();
  int MoveBy(int distance);
  bool Bof() const { return FBof; }
  bool Eof() const { return FEof; }
  bool IsEmpty() const { return Active() && FEmpty; }
  // Records that pass the filter; walks the table and comes back to the current record.
  int RecordCount();
  void Refresh();

  // Fields.
  int FieldCount() const { return static_cast<int>(FFields.size()); }
  TField* Fields(int index) const;
  TField* FindField(const std::string& name) const;
  TField* FieldByName(const std::string& name) const;
  TFieldDefs& FieldDefs() { return FFieldDefs; }
  const TFieldDefs& FieldDefs() const { return FFieldDefs; }

  // Editing.
  void Edit();
  void Insert();
  void Append();
  void Post();
  void Cancel();
  void Delete();
  void CheckBrowseMode();
  bool CanModify() const;

  // Filters: the Filter text (comparisons of fields with constants, joined by and/or) and the
  // OnFilterRecord event apply while Filtered is set.  The part of the text the access layer
  // decides alike is handed to it, so records that cannot match never reach the data set; the
  // event is always called here.
  const std::string& Filter() const { return FFilterText; }
  void SetFilter(const std::string& text);
  bool Filtered() const { return FFiltered; }
  void SetFiltered(bool value);

  // Data-aware controls.
  void DisableControls() { ++FDisableCount; }
  void EnableControls();
  bool ControlsDisabled() const { return FDisableCount > 0; }

  // Events.
  TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose, BeforeInsert, AfterInsert, BeforeEdit,
      AfterEdit, BeforePost, AfterPost, BeforeCancel, AfterCancel, BeforeDelete, AfterDelete, BeforeScroll,
      AfterScroll, OnNewRecord;
  TFilterRecordEvent OnFilterRecord;
  // Called whenever the data-aware controls should refresh (not while controls are disabled).
  TDataSetNotifyEvent OnDataChange;

  // Used by the fields.
  bool GetFieldData(const TField* field, void* buffer) const;
  void SetFieldData(TField* field, const void* buffer);
  std::string ReadBlob(const TField* field) const;
  std::int64_t BlobSize(const TField* field) const;
  void WriteBlob(TField* field, const std::string& data);
  hDBICur Handle() const { return FHandle; }
  void CheckActive() const;
  void CheckInactive() const;
  // Opens the data set when Active was set while it was being read from a form description.
  void Loaded() override;

 protected:
  // Opens the cursor; answers its handle.
  virtual hDBICur CreateHandle() = 0;
  // Closes the cursor of the data set.
  virtual void DestroyHandle();
  virtual void InternalOpened() {}
  virtual void InternalClosed() {}
  // The record image that field reads and writes address (the key image while entering a key).
  std::uint8_t* ActiveBuffer() const;
  void SetState(TDataSetState state);
  void DataEvent();
  // Makes the record in FRecBuf current after a successful key search or post.
  void ResyncCurrent();
  // The cursor stands on the record just read into FRecBuf by a key search: it becomes the
  // current record.  Where the current index is unique the position is kept by the record's key
  // (found again only when needed), else by the cursor's bookmark.
  void CurrentFound();
  // Whether the current record can be found again by its key alone (a unique index), and the
  // search that does it from a copy of the record.
  virtual bool CanRestoreByKey() const { return false; }
  virtual DBIResult RestoreByKey(const std::vector<std::uint8_t>& record);
  // After a key search placed the cursor before a record (placed), reads the first record from
  // there that passes the filter; without one, the last record.  The scroll events fire once.
  void ReadFromPlacedCursor(bool placed);
  // Puts back the cursor position of the current record (0 when there is none).
  DBIResult RestoreCurrentPosition();
  // Sizes the buffers again after the cursor changed its index.
  void CursorChanged();
  // Key image of the data set (for descendants that search by key).
  std::vector<std::uint8_t>& KeyBuffer() { return FKeyBuf; }
  std::vector<std::uint8_t>& RecordBuffer() { return FRecBuf; }
  // Whether the record (swapped in as the current one for the time of the test) passes the
  // filter text and OnFilterRecord.
  bool RecordPasses(std::vector<std::uint8_t>& record);
  void ClearBuffers();
  void DropFreshBlobs();
  void ReadAgainForEdit();
  bool FReadOnlyCursor = false;

 private:
  void OpenCursor();
  void BindFields();
  void FreeDefaultFields();
  // Fetches in one direction until a record passes; false at the end (cursor left on current).
  bool Fetch(bool forward);
  // First (first = true) or Last: to the table's start or end and the record next to it.
  void MoveToEnd(bool first);
  void SettleAtEnd(bool first);
  void SaveCurrentBookmark();
  // No position of a current record is kept (neither bookmark nor key).
  void ForgetPosition();
  bool HasPosition() const { return FHaveCurrent || FPositionByKey; }
  void ApplyFilterText();
  // The part of the filter text the access layer can evaluate is handed to it; the data set
  // still tests every record it receives.
  void InstallEngineFilter();
  void RemoveEngineFilter();
  // Reads the record under the cursor, whatever the access layer's filter says of it.
  DBIResult ReadCurrent(std::vector<std::uint8_t>& record);
  // Bytes a value of the field takes in a record image: the larger of what the cursor's field
  // descriptor and the field class say, so neither side reads or writes past the other's end.
  std::size_t FieldBufferSize(const TField* field) const;
  void CheckField(const TField* field) const;

  TDataSetState FState = TDataSetState::dsInactive;
  hDBICur FHandle = 0;
  CURProps FProps;
  std::vector<std::uint8_t> FRecBuf;
  std::vector<std::uint8_t> FOldBuf;
  // BLOB fields written in the edit or insert in progress: each got a BLOB of its own, which
  // the stored record takes only when the record is posted.
  std::vector<std::uint16_t> FFreshBlobs;
  std::vector<std::uint8_t> FKeyBuf;
  std::vector<std::uint8_t> FBookmark;
  bool FHaveCurrent = false;
  // The current record's position is its key (FPositionRec), not a bookmark.
  bool FPositionByKey = false;
  std::vector<std::uint8_t> FPositionRec;
  bool FBof = true;
  bool FEof = true;
  bool FEmpty = true;
  bool FStreamedActive = false;
  std::vector<TField*> FFields;
  std::vector<TField*> FDefaultFields;
  TFieldDefs FFieldDefs;
  std::string FFilterText;
  bool FFiltered = false;
  std::unique_ptr<TFilterExpression> FFilterExpr;
  hDBIFilter FEngineFilter = 0;
  std::vector<std::uint16_t> FFieldLengths;  // by field number, from the field descriptors
  mutable std::vector<std::uint8_t> FFieldScratch;
  mutable std::vector<std::uint8_t> FBlobScratch;  // the first piece of a BLOB read
  int FDisableCount = 0;
  bool FDataChangedWhileDisabled = false;
};

}  // namespace tw
