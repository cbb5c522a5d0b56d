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

  function position(element) {
    return [parseFloat(element.getAttribute('lat')), parseFloat(element.getAttribute('lng'))];
  }

  function lapPopup(lap) {
    var a = function (name) { return lap.getAttribute(name); };
    var kind = { S: 'Start', N: 'Lap ' + a('index'), F: 'End' }[a('Type')] || 'Lap';
    var rows = [['Time', a('Time')], ['Distance', a('AD')], ['Elapsed', a('ET')],
                ['Speed', a('AS')], ['Max. altitude', a('Max_Altitude')],
                ['Min. altitude', a('Min_Altitude')], ['Avg. altitude', a('Avg_Altitude')],
                ['Ascent', a('Total_Ascent')], ['Descent', a('Total_Descent')]];
    var html = '<b>' + text(kind) + '</b>' + table(rows);
    if (a('Type') === 'F') {
      html += '<b>Total</b>' + table([['Distance', a('TOT_AD')], ['Elapsed', a('TOT_ET')],
                                      ['Speed', a('TOT_AS')], ['Ascent', a('TOT_Total_Ascent')],
                                      ['Descent', a('TOT_Total_Descent')]]);
    }
    return html;
  }

  function draw(map, xml, wanted) {
    var bounds = L.latLngBounds([]);
    var opened = null;
    var root = xml && xml.documentElement;
    if (!root) {
      return { bounds: bounds, opened: opened };
    }
    // Photos come first in a marker file; in a pane of their own above the track lines'
    // (the overlay pane) they stay visible and clickable where a line runs over them.
    map.createPane('photos').style.zIndex = 450;
    Array.prototype.forEach.call(root.children, function (element) {
      if (element.tagName === 'marker') {
        var at = position(element);
        var marker = L.circleMarker(at, { radius: 8, color: '#ffffff', weight: 2,
                                          fillColor: '#e4572e', fillOpacity: 1,
                                          pane: 'photos' }).addTo(map);
        var path = element.getAttribute('html');
        marker.bindPopup('<b>' + text(element.getAttribute('label')) + '</b><br>' +
                         '<span class="trevalo-path">' + text(path) + '</span>');
        bounds.extend(at);
        if (wanted && path === wanted) {
          opened = marker;
        }
      } else if (element.tagName === 'line') {
        var points = [];
        var info = null;
        Array.prototype.forEach.call(element.children, function (child) {
          if (child.tagName === 'point') {
            points.push(position(child));
          } else if (child.tagName === 'Info') {
            info = child;
          }
        });
        var line = L.polyline(points, { color: element.getAttribute('colour') || '#17eeee',
                                        weight: parseInt(element.getAttribute('width'), 10) + 2,
                                        opacity: 0.9 }).addTo(map);
        if (info) {
          var i = function (name) { return info.getAttribute(name); };
          line.bindPopup(table([['Start', i('STIME')], ['End', i('ETIME')],
                                ['Distance', i('AD')], ['Elapsed', i('ET')], ['Speed', i('AS')]]));
        }
        points.forEach(function (p) { bounds.extend(p); });
      } else if (element.tagName === 'Lap') {
        var lapAt = position(element);
        L.circleMarker(lapAt, { radius: 6, color: '#1b4965', weight: 2, fillColor: '#ffffff',
                                fillOpacity: 1 }).addTo(map).bindPopup(lapPopup(element));
        bounds.extend(lapAt);
      } else if (element.tagName === 'WayPoint') {
        var pointAt = position(element);
        L.circleMarker(pointAt, { radius: 5, color: '#5a189a', weight: 2, fillColor: '#c77dff',
                                  fillOpacity: 1 }).addTo(map)
          .bindPopup('<b>Waypoint ' + text(element.getAttribute('index')) + '</b>' +
                     table([['Time', element.getAttribute('Time')],
                            ['Altitude', element.getAttribute('alt')]]));
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
    L.tileLayer('https://tile.openstreetmap.org/{z}/{x}/{y}.png', {
      maxZoom: 19,
      attribution: '&copy; OpenStreetMap contributors'
    }).addTo(map);
    window.trevaloMap = map;
    if (!markerFile) {
      document.body.setAttribute('data-state', 'drawn');
      return;
    }
    // Marker files are read with XMLHttpRequest: fetch() is refused on the program's scheme.
    var request = new XMLHttpRequest();
    request.open('GET', markerFile + '?' + Date.now());
    request.onload = function () {
      var xml = request.responseXML ||
                new DOMParser().parseFromString(request.responseText, 'application/xml');
      var drawn = draw(map, xml, p.photoPath);
      if (drawn.bounds.isValid() && !p.photoPath) {
        map.fitBounds(drawn.bounds, { padding: [24, 24], maxZoom: 17 });
      }
      if (drawn.opened) {
        drawn.opened.openPopup();
      }
      document.body.setAttribute('data-state', 'drawn');
    };
    request.onerror = function () { document.body.setAttribute('data-state', 'no-markers'); };
    request.send();
  }

  return { show: show, parameters: parameters };
}());
