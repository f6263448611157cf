// Block-structured table files: block 0 (the file header), allocation and reuse of blocks,
// stream blocks (the stored dictionary), and the deletion of a table's files.  Every block is
// read and written through the file's buffer manager, inside the file's transaction.
#pragma once

#include <cstdint>
#include <string>

#include "dbengine/storage/file_info.h"

namespace tw {
class TStream;
}

namespace tw::dbengine {

class TqnDataDictionary;

// Writes a new block 0 for a file that has just been created (opened with Create): the
// dictionary's block size and record layout, no blocks besides block 0.  The encrypted flag is
// never set, because a file carrying it can never be opened.
void QNTblCreateFileHeader(TqnFileInfo* File, const TqnDataDictionary& Dictionary, int FileNumber = 0);

// Block allocation.  Header is block 0 taken for update.  The new block's number is returned
// in Block; the buffer is dirty and zeroed but for the common header word 2 (its number).
std::uint8_t* QNTblHlpGetNewBlock(TqnFileInfo* File, std::uint8_t* Header, std::int32_t& Block);
void QNTblHlpDeleteBlock(TqnFileInfo* File, std::uint8_t* Header, std::int32_t Block);

// Stream blocks.
std::uint8_t* QNTblHlpGetNewStreamBlock(TqnFileInfo* File, std::uint8_t* Header, std::uint8_t* Previous,
                                        std::int32_t& Block);
std::uint8_t* QNTblHlpReadStreamBlock(TqnFileInfo* File, const std::uint8_t* Header, bool ForUpdate,
                                      std::int32_t Block);
void QNTblHlpDeleteStream(TqnFileInfo* File, std::uint8_t* Header, std::int32_t FirstBlock, bool KeepFirst);
// Stores Stream (from position 0) as a chain of stream blocks of type StreamType (four
// characters).  IsNew starts a chain and returns its first block in FirstBlock; otherwise the
// chain at FirstBlock is reused.
void QNTblWriteStream(TqnFileInfo* File, std::int32_t& FirstBlock, TStream& Stream, const char* StreamType,
                      bool IsNew);
// Appends the stream stored at FirstBlock to Stream.
void QNTblReadStream(TqnFileInfo* File, std::int32_t FirstBlock, TStream& Stream);

// The stored dictionary ("DICT" stream of file 0).
void QNTblWriteDictionary(TqnDataDictionary& Dictionary, TqnFileInfo* File);
// Reads the dictionary and marks it built; 23641 when the file holds none.
void QNTblReadDictionary(TqnDataDictionary& Dictionary, TqnFileInfo* File);
void QNTblDictAllowChanges(TqnDataDictionary& Dictionary);

// Deletes the files of table TableName (with or without ".QND") in Folder: the file with the
// extension "QND" and every other file of that base name whose first four bytes are "QNFH".
// Other files of that base name stay.
void QNTblDeleteFiles(const TqnFolder& Folder, const std::string& TableName);
void QNTblDeleteFiles(const std::string& Folder, const std::string& TableName);

struct TqnRecordInfo {
  std::int32_t RecordLength = 0;
  std::int32_t RecordCount = 0;
  std::int32_t DeletedCount = 0;
  std::int32_t RecordsPerBlock = 0;
};
TqnRecordInfo QNTblGetRecordInfo(TqnFileInfo* File);
// The next auto-increment value (the stored last value plus one, kept).  Raises 23650 once
// 4294967295 has been given: values never repeat.
std::uint32_t QNTblNextAutoIncValue(TqnFileInfo* File);
void QNTblSetAutoIncValue(TqnFileInfo* File, std::uint32_t Value);

}  // namespace tw::dbengine
