// Draws a marker file of the program (photos, track lines with their summary, laps and
// waypoints) on a Leaflet map. A page calls TrevaloMap.show(markerFile); its address
// carries "?latitude?longitude?photoPath?photoName", each part percent-encoded.
var TrevaloMap = (function () {
  'use strict';

  function parameters() {
    var parts = window.location.search.replace(/^\?/, '').split('?');
    var decoded = parts.map(function (part) {
      try { return decodeURIComponent(part); } catch (e) { return part; }
    });
    return {
      latitude: parseFloat(decoded[0]),
      longitude: parseFloat(decoded[1]),
      photoPath: decoded[2] || '',
      photoName: decoded[3] || ''
    };
  }

  // The program puts the labels of the user's language file in TrevaloLabels before the
  // page runs; a page opened on its own shows the English ones.
  function label(key, english) {
    var labels = window.TrevaloLabels || {};
    return labels[key] || english;
  }

  function text(value) {
    var span = document.createElement('span');
    span.textContent = value === null || value === undefined ? '' : value;
    return span.innerHTML;
  }

  function table(rows) {
    var html = '<table class="trevalo-stats">';
    rows.forEach(function (row) {
      if (row[1] !== null && row[1] !== undefined && row[1] !== '') {
        html += '<tr><th>' + text(row[0]) + '</th><td>' + text(row[1]) + '</td></tr>';
      }
    });
    return html + '</table>';
  }

  function lapPopup(lap) {
    var a = function (name) { return lap[name]; };
    var kind = { S: label('MAP_LABEL_START', 'Start'),
                 N: label('MAP_LABEL_LAP', 'Lap') + ' ' + a('index'),
                 F: label('MAP_LABEL_END', 'End') }[a('Type')] || label('MAP_LABEL_LAP', 'Lap');
    var rows = [[label('MAP_LABEL_TIME', 'Time'), a('Time')],
                [label('MAP_LABEL_DISTANCE', 'Distance'), a('AD')],
                [label('MAP_LABEL_ELAPSED', 'Elapsed'), a('ET')],
                [label('MAP_LABEL_SPEED', 'Speed'), a('AS')],
                [label('MAP_LABEL_MAXALT', 'Max. altitude'), a('Max_Altitude')],
                [label('MAP_LABEL_MINALT', 'Min. altitude'), a('Min_Altitude')],
                [label('MAP_LABEL_AVGALT', 'Avg. altitude'), a('Avg_Altitude')],
                [label('MAP_LABEL_ASCENT', 'Ascent'), a('Total_Ascent')],
                [label('MAP_LABEL_DESCENT', 'Descent'), a('Total_Descent')]];
    var html = '<b>' + text(kind) + '</b>' + table(rows);
    if (a('Type') === 'F') {
      html += '<b>' + text(label('MAP_LABEL_TOTAL', 'Total')) + '</b>' +
              table([[label('MAP_LABEL_DISTANCE', 'Distance'), a('TOT_AD')],
                     [label('MAP_LABEL_ELAPSED', 'Elapsed'), a('TOT_ET')],
                     [label('MAP_LABEL_SPEED', 'Speed'), a('TOT_AS')],
                     [label('MAP_LABEL_ASCENT', 'Ascent'), a('TOT_Total_Ascent')],
                     [label('MAP_LABEL_DESCENT', 'Descent'), a('TOT_Total_Descent')]]);
    }
    return html;
  }

  // A photo's popup: its name, a small preview the program makes of it (asked for when the
  // popup first opens, and left out when the photo cannot be shown), and its path.
  // The popup is made when it first opens: thousands of photos make no elements until then.
  function bindPhotoPopup(marker, name, path) {
    var box = null;
    marker.bindPopup(function () {
      box = box || photoPopup(marker, name, path);
      return box;
    }, { minWidth: 160 });
  }

  function photoPopup(marker, name, path) {
    var box = document.createElement('div');
    box.innerHTML = '<b>' + text(name) + '</b><br>';
    var preview = document.createElement('img');
    preview.className = 'trevalo-preview';
    preview.alt = '';
    preview.onload = function () {
      preview.setAttribute('data-state', 'loaded');
      marker.getPopup().update();  // fitted to the preview's size
    };
    preview.onerror = function () {
      preview.setAttribute('data-state', 'failed');
      preview.style.display = 'none';
    };
    box.appendChild(preview);
    var where = document.createElement('span');
    where.className = 'trevalo-path';
    where.textContent = path;
    box.appendChild(document.createElement('br'));
    box.appendChild(where);
    if (placer) {
      // Any photo's position (matched or placed) can be taken away: the photo is then
      // written by no save until it is placed again.
      box.appendChild(document.createElement('br'));
      box.appendChild(commandLink(label('MAP_LABEL_CLEAR', 'Clear position'), 'trevalo-clear',
                                  function () {
                                    marker.closePopup();
                                    placer.clear(path);
                                  }));
    }
    preview.src = 'trevalo://previews/photo?path=' + encodeURIComponent(path);
    return box;
  }

  // The background comes from the tile server the program names (OpenStreetMap's unless the
  // user gives another). When none of its tiles loads, a note says that the background
  // needs a network; the tracks and markers are drawn all the same.
  function addTiles(map) {
    var source = window.TrevaloTiles ||
                 { url: 'https://tile.openstreetmap.org/{z}/{x}/{y}.png',
                   attribution: '\u00a9 OpenStreetMap contributors' };
    var tiles = L.tileLayer(source.url, { maxZoom: 19, attribution: text(source.attribution) });
    // The note can be closed (a small map would stay covered), and stays closed.
    var note = L.control({ position: 'topright' });
    var closed = false;
    note.onAdd = function () {
      var div = L.DomUtil.create('div', 'trevalo-no-tiles');
      var close = L.DomUtil.create('a', 'trevalo-no-tiles-close', div);
      close.href = '#';
      close.textContent = '\u00d7';
      close.setAttribute('role', 'button');
      var words = L.DomUtil.create('span', 'trevalo-no-tiles-text', div);
      words.textContent = label('MAP_LABEL_NOTILES',
                                'The map background needs a network connection: ' +
                                'tracks and markers are drawn without it.');
      L.DomEvent.disableClickPropagation(div);
      L.DomEvent.on(close, 'click', function (event) {
        L.DomEvent.preventDefault(event);
        closed = true;
        shown = false;
        note.remove();
      });
      return div;
    };
    var loaded = 0;
    var shown = false;
    tiles.on('tileload', function () {
      loaded += 1;
      document.body.setAttribute('data-tiles', 'loaded');
      if (shown) {
        note.remove();
        shown = false;
      }
    });
    tiles.on('tileerror', function () {
      if (loaded === 0 && !shown && !closed) {
        note.addTo(map);
        shown = true;
        document.body.setAttribute('data-tiles', 'failed');
      }
    });
    tiles.addTo(map);
  }

  function position(attributes) {
    return [parseFloat(attributes.lat), parseFloat(attributes.lng)];
  }

  // What the page drew, for the program's tests and benchmarks: the layers by kind.
  var drawn = { photos: [], lines: [], laps: [], waypoints: [] };

  // The program's side of the page (a QWebChannel object), when the page is shown by the
  // program: it places the photos selected in its list, moves and clears photos. Null in a
  // page opened on its own.
  var placer = null;
  var photoLayer = null;   // the photo markers' group: clusters of them, or the map itself
  var markerOfPath = {};   // the photo markers by photo path
  // Thousands of photos join their groups a slice at a time (the page answers meanwhile);
  // what waits for all of them runs when the last slice is in.
  var photosPending = false;
  var whenPhotosIn = null;

  function photoMarkerOptions() {
    // A click on a photo opens its popup, never the map's offer to place photos there.
    return { radius: 8, color: '#ffffff', weight: 2, fillColor: '#e4572e', fillOpacity: 1,
             pane: 'photos', bubblingMouseEvents: false };
  }

  // A placed photo's marker: a violet square that can be dragged to correct its place.
  var placedIcon = L.divIcon({ className: 'trevalo-placed', iconSize: [16, 16] });

  // Photos close together on the screen are drawn as one group that says how many it holds
  // and splits as the map zooms in (Leaflet.markercluster, when the page has it). A group's
  // popup lists its photos.
  function makePhotoLayer(map) {
    if (!L.markerClusterGroup) {
      return map;
    }
    var group = L.markerClusterGroup({
      chunkedLoading: true, chunkInterval: 100, maxClusterRadius: 60,
      zoomToBoundsOnClick: false, clusterPane: 'photos', showCoverageOnHover: false,
      chunkProgress: function (done, total) {
        if (done === total) {
          photosIn();
        }
      }
    });
    group.on('clusterclick', function (event) {
      var cluster = event.layer;
      var photos = cluster.getAllChildMarkers();
      var box = document.createElement('div');
      box.className = 'trevalo-cluster';
      var title = document.createElement('b');
      title.textContent = label('MAP_LABEL_PHOTOS', 'Photos') + ': ' + photos.length;
      box.appendChild(title);
      var list = document.createElement('ul');
      var shown = Math.min(photos.length, 50);
      for (var i = 0; i < shown; i += 1) {
        var item = document.createElement('li');
        item.textContent = photos[i].trevaloName;
        list.appendChild(item);
      }
      box.appendChild(list);
      if (photos.length > shown) {
        box.appendChild(document.createTextNode(
          label('MAP_LABEL_MORE', '%d more').replace('%d', photos.length - shown)));
        box.appendChild(document.createElement('br'));
      }
      box.appendChild(commandLink(label('MAP_LABEL_ZOOMIN', 'Zoom in'), 'trevalo-zoom',
                                  function () {
                                    map.closePopup();
                                    cluster.zoomToBounds({ padding: [24, 24] });
                                  }));
      L.popup({ maxHeight: 320 }).setLatLng(cluster.getLatLng()).setContent(box).openOn(map);
    });
    group.addTo(map);
    return group;
  }

  // A photo's marker at `at`: a circle for a photo matched to a log (or keeping its own
  // position), a square that can be dragged for one placed by hand.
  function photoMarker(at, name, path, placed) {
    var marker = placed ? L.marker(at, { icon: placedIcon, draggable: !!placer, pane: 'photos' })
                        : L.circleMarker(at, photoMarkerOptions());
    marker.trevaloPath = path;
    marker.trevaloName = name;
    marker.trevaloPlaced = placed;
    bindPhotoPopup(marker, name, path);
    if (placed) {
      marker.on('dragend', function () {
        var to = marker.getLatLng().wrap();
        if (placer) {
          placer.move(path, to.lat, to.lng);
        }
      });
    }
    return marker;
  }

  function addPhoto(at, name, path, placed) {
    var marker = photoMarker(at, name, path, placed);
    markerOfPath[path] = marker;
    drawn.photos.push(marker);
    return marker;
  }

  function removePhoto(path) {
    var marker = markerOfPath[path];
    if (!marker) {
      return;
    }
    photoLayer.removeLayer(marker);
    delete markerOfPath[path];
    drawn.photos.splice(drawn.photos.indexOf(marker), 1);
  }

  // The program tells the page where a photo is now (placed, moved, cleared, or back by
  // undo): {path, name, lat, lng, placed}, or {path} alone for a photo without a position.
  function showPhotos(photos) {
    if (!photoLayer) {
      return;  // the page is not drawn yet: it reads the photos' places from its file
    }
    if (photosPending) {
      // After the photos still joining their groups, so that none comes back behind.
      var earlier = whenPhotosIn;
      whenPhotosIn = function () {
        if (earlier) {
          earlier();
        }
        showPhotos(photos);
      };
      return;
    }
    photos.forEach(function (photo) {
      removePhoto(photo.path);
      if (photo.lat !== undefined) {
        photoLayer.addLayer(addPhoto([photo.lat, photo.lng], photo.name, photo.path,
                                     photo.placed));
      }
    });
    document.body.setAttribute('data-photos', String(drawn.photos.length));
  }

  // The photos' markers, made a slice at a time so that the page answers meanwhile, then
  // put in their groups in one go (the groups are made once for all of them, a slice at a
  // time as well); `result.opened` becomes the marker of the photo `wanted`.
  function addPhotosInSlices(map, photos, wanted, result) {
    var SLICE = 2500;
    var markers = [];
    var next = 0;
    var slice = function () {
      var end = Math.min(next + SLICE, photos.length);
      for (; next < end; next += 1) {
        var photo = photos[next];
        var marker = addPhoto(photo.at, photo.name, photo.path, photo.placed);
        markers.push(marker);
        if (wanted && photo.path === wanted) {
          result.opened = marker;
        }
      }
      if (next < photos.length) {
        setTimeout(slice, 0);
      } else if (photoLayer === map) {
        markers.forEach(function (m) { m.addTo(map); });
        photosIn();
      } else {
        photoLayer.addLayers(markers);
      }
    };
    slice();
  }

  // Every photo is in its group: what waited for them runs.
  function photosIn() {
    photosPending = false;
    var then = whenPhotosIn;
    whenPhotosIn = null;
    if (then) {
      then();
    }
  }

  function draw(map, items, wanted) {
    var bounds = L.latLngBounds([]);
    // Photos come first in a marker file; in a pane of their own above the track lines'
    // (the overlay pane) they stay visible and clickable where a line runs over them. Lap
    // and waypoint marks lie between the two, above every line.
    // Lines on one canvas: a long track as SVG is a path of millions of coordinates, which
    // the browser lays out again at every zoom step.
    var lines = L.canvas({ padding: 0.5 });
    var photos = [];
    var lineNumber = -1;
    items.forEach(function (item) {
      var a = item.attributes;
      if (item.kind === 'marker') {
        var at = position(a);
        photos.push({ at: at, name: a.label, path: a.html, placed: a.placed === '1' });
        bounds.extend(at);
      } else if (item.kind === 'line') {
        lineNumber += 1;  // the program counts every line of the file, drawn or not
        if (!item.lat.length) {
          return;
        }
        var line = TrevaloTrackLine.line(item.lat, item.lng,
                                         { color: a.colour || '#17eeee',
                                           weight: parseInt(a.width, 10) + 2, opacity: 0.9,
                                           renderer: lines }).addTo(map);
        var i = item.info;
        if (i) {
          line.bindPopup(table([[label('MAP_LABEL_START', 'Start'), i.STIME],
                                [label('MAP_LABEL_END', 'End'), i.ETIME],
                                [label('MAP_LABEL_DISTANCE', 'Distance'), i.AD],
                                [label('MAP_LABEL_ELAPSED', 'Elapsed'), i.ET],
                                [label('MAP_LABEL_SPEED', 'Speed'), i.AS]]));
        }
        line.trevaloLine = lineNumber;
        // The lines' canvas keeps their clicks from the map: while photos wait to be placed,
        // a click on a line offers its point in place of the line's summary.
        line.on('click', function (event) { offerPlace(map, event); });
        bounds.extend(line.getBounds());
        drawn.lines.push(line);
      } else if (item.kind === 'Lap') {
        var lapAt = position(a);
        drawn.laps.push(L.circleMarker(lapAt, { radius: 6, color: '#1b4965', weight: 2,
                                                fillColor: '#ffffff', fillOpacity: 1,
                                                pane: 'marks' })
                          .addTo(map).bindPopup(lapPopup(a)));
        bounds.extend(lapAt);
      } else if (item.kind === 'WayPoint') {
        var pointAt = position(a);
        drawn.waypoints.push(
          L.circleMarker(pointAt, { radius: 5, color: '#5a189a', weight: 2, fillColor: '#c77dff',
                                    fillOpacity: 1, pane: 'marks' }).addTo(map)
            .bindPopup('<b>Waypoint ' + text(a.index) + '</b>' +
                       table([[label('MAP_LABEL_TIME', 'Time'), a.Time],
                              [label('MAP_LABEL_ALTITUDE', 'Altitude'), a.alt]])));
        bounds.extend(pointAt);
      }
    });
    var result = { bounds: bounds, opened: null };
    photosPending = true;
    addPhotosInSlices(map, photos, wanted, result);
    return result;
  }

  // The line point nearest to a click, when one lies within a few pixels of it:
  // {line: its place among the lines drawn, index: the point's among the line's, at}.
  function trackPointNear(map, at) {
    var best = null;
    drawn.lines.forEach(function (line) {
      var near = line.nearestPoint(map, at);
      if (near && near.pixels <= 10 && (!best || near.pixels < best.pixels)) {
        best = { line: line.trevaloLine, index: near.index, at: line.pointAt(near.index),
                 pixels: near.pixels };
      }
    });
    return best;
  }

  function commandLink(text, className, run) {
    var link = document.createElement('a');
    link.href = '#';
    link.className = className;
    link.textContent = text;
    L.DomEvent.on(link, 'click', function (event) {
      L.DomEvent.preventDefault(event);
      run();
    });
    return link;
  }

  // A click on the map while photos are selected in the program's list offers to place them
  // there, and, on a drawn track, at the track's point there (with its altitude).
  function offerPlace(map, event) {
    var count = placer ? placer.photosToPlace : 0;
    if (!count) {
      return;
    }
    var box = document.createElement('div');
    box.className = 'trevalo-place';
    var at = event.latlng.wrap();
    box.appendChild(commandLink(
      label('MAP_LABEL_PLACEHERE', 'Place %d selected photos here').replace('%d', count),
      'trevalo-place-here', function () {
        map.closePopup();
        placer.place(at.lat, at.lng);
      }));
    var near = trackPointNear(map, event.latlng);
    if (near) {
      var onTrack = commandLink(label('MAP_LABEL_PLACETRACK', 'Place at the track point'),
                                'trevalo-place-track', function () {
                                  map.closePopup();
                                  placer.placeAtTrackPoint(near.line, near.index);
                                });
      box.appendChild(document.createElement('br'));
      box.appendChild(onTrack);
      placer.trackPointText(near.line, near.index, function (description) {
        if (description) {
          onTrack.textContent += ' (' + description + ')';
        }
      });
    }
    L.popup({ minWidth: 180 }).setLatLng(near ? near.at : event.latlng).setContent(box)
      .openOn(map);
  }

  // Connects to the program's side of the page when the program shows it, then goes on.
  function connectProgram(then) {
    if (typeof QWebChannel === 'undefined' || !window.qt || !window.qt.webChannelTransport) {
      then();
      return;
    }
    new QWebChannel(window.qt.webChannelTransport, function (channel) {
      placer = channel.objects.trevaloPlacer || null;
      then();
    });
  }

  function show(markerFile) {
    connectProgram(function () { showMap(markerFile); });
  }

  function showMap(markerFile) {
    var p = parameters();
    var centre = [isNaN(p.latitude) ? 35.624931 : p.latitude,
                  isNaN(p.longitude) ? 139.571926 : p.longitude];
    var map = L.map('map', { zoomControl: true }).setView(centre, 13);
    addTiles(map);
    window.trevaloMap = map;
    map.createPane('photos').style.zIndex = 450;
    map.createPane('marks').style.zIndex = 440;
    photoLayer = makePhotoLayer(map);
    map.on('click', function (event) { offerPlace(map, event); });
    if (!markerFile) {
      document.body.setAttribute('data-state', 'drawn');
      return;
    }
    // Marker files are read with XMLHttpRequest (fetch() is refused on the program's
    // scheme), as text: the page reads them itself (trevalo-markers.js).
    var request = new XMLHttpRequest();
    request.open('GET', markerFile + '?' + Date.now());
    request.overrideMimeType('text/plain; charset=utf-8');
    request.onload = function () {
      var result = draw(map, TrevaloMarkers.parse(request.responseText), p.photoPath);
      if (result.bounds.isValid() && !p.photoPath) {
        map.fitBounds(result.bounds, { padding: [24, 24], maxZoom: 17 });
      }
      var finish = function () {
        if (result.opened) {
          if (photoLayer !== map) {
            photoLayer.zoomToShowLayer(result.opened, function () { result.opened.openPopup(); });
          } else {
            result.opened.openPopup();
          }
        }
        document.body.setAttribute('data-state', 'drawn');
      };
      if (photosPending) {
        whenPhotosIn = finish;
      } else {
        finish();
      }
    };
    request.onerror = function () { document.body.setAttribute('data-state', 'no-markers'); };
    request.send();
  }

  return { show: show, parameters: parameters, drawn: drawn, showPhotos: showPhotos,
           cluster: function () { return photoLayer; } };
}());
