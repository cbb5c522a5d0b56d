#pragma once
// Saving tagged photos together with a KML document of them (and, on request, a KMZ
// package of the photos and the document): each saved photo gets a placemark, and the
// document's route folder holds the tracks of the logs the saved photos were matched to.

#include <QString>
#include <QStringList>

#include "library/log_library.h"
#include "library/match_settings.h"
#include "tagging/photo_list.h"
#include "tagging/photo_save.h"

namespace trevalo {

struct PhotoKmlOptions {
  SaveMode mode = SaveMode::kCopy;
  QString saveFolder;       // the copies, the KML document and the package go here
  bool kml = false;         // write a KML document
  bool kmz = false;         // and pack it with the photos (only together with kml)
  QString kmlName;          // the document name as typed
  QString urlPrefix;        // put before each photo's image reference; may be empty
  int imageWidth = 800;     // 10..1000; below 10 the photo's own width
  QString photoFolderName;  // name of the photo folder
  QString trackFolderName;  // name of the route folder
  SidecarChoice sidecars;   // which photos get XMP sidecars, and their names
  // Where a save that changes files the user had (photos in place, sidecars beside them)
  // keeps its undo journal first (JournalsFolder); empty: none is kept.
  QString journalsFolder;
  QString journalDescription;  // what the journal says the run was
};

struct PhotoKmlReport {
  SaveReport save;
  QString kmlPath;       // where the document was (or would have been) written
  QString kmzPath;       // the same for the package; empty without one
  QStringList problems;  // the document or package could not be written, logs unreadable
  QString journal;       // the undo journal of the save, when it changed files the user had
};

// The document's path: the save folder and the typed name with \ / : * ? " < > | made "_",
// with ".KML".
QString PhotoKmlPath(const QString& saveFolder, const QString& kmlName);

// Saves every matched photo of the list as SaveTaggedPhotos does and writes the document
// and package the options ask for. When the document or the package would replace one of
// the list's photos or a log of the library, nothing is saved and the problem says so. The
// document's styles, laps and waypoints describe the library's selection at the call. When
// the undo journal cannot be started, nothing is saved and the problem says why.
PhotoKmlReport SavePhotosWithKml(PhotoList& photos, LogLibrary& library,
                                 const MatchSettings& settings, const PhotoKmlOptions& options,
                                 const SaveProgress& progress = {});

}  // namespace trevalo
