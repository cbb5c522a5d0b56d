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
  function bindPhotoPopup(marker, name, path) {
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
    marker.bindPopup(box, { minWidth: 160 });
    marker.on('popupopen', function () {
      if (!preview.getAttribute('src')) {
        preview.src = 'trevalo://previews/photo?path=' + encodeURIComponent(path);
      }
    });
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

  function draw(map, items, wanted) {
    var bounds = L.latLngBounds([]);
    var opened = null;
    // Photos come first in a marker file; in a pane of their own above the track lines'
    // (the overlay pane) they stay visible and clickable where a line runs over them. Lap
    // and waypoint marks lie between the two, above every line.
    map.createPane('photos').style.zIndex = 450;
    map.createPane('marks').style.zIndex = 440;
    // Lines on one canvas: a long track as SVG is a path of millions of coordinates, which
    // the browser lays out again at every zoom step.
    var lines = L.canvas({ padding: 0.5 });
    items.forEach(function (item) {
      var a = item.attributes;
      if (item.kind === 'marker') {
        var at = position(a);
        var marker = L.circleMarker(at, { radius: 8, color: '#ffffff', weight: 2,
                                          fillColor: '#e4572e', fillOpacity: 1,
                                          pane: 'photos' }).addTo(map);
        var path = a.html;
        bindPhotoPopup(marker, a.label, path);
        bounds.extend(at);
        drawn.photos.push(marker);
        if (wanted && path === wanted) {
          opened = marker;
        }
      } else if (item.kind === 'line') {
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
    return { bounds: bounds, opened: opened };
  }

  function show(markerFile) {
    var p = parameters();
    var centre = [isNaN(p.latitude) ? 35.624931 : p.latitude,
                  isNaN(p.longitude) ? 139.571926 : p.longitude];
    var map = L.map('map', { zoomControl: true }).setView(centre, 13);
    addTiles(map);
    window.trevaloMap = map;
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
      if (result.opened) {
        result.opened.openPopup();
      }
      document.body.setAttribute('data-state', 'drawn');
    };
    request.onerror = function () { document.body.setAttribute('data-state', 'no-markers'); };
    request.send();
  }

  return { show: show, parameters: parameters, drawn: drawn };
}());
