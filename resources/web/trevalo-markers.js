// Reads a marker file of the program as text. The program writes the file in one layout of
// its own (one element a line: <markers>, then <marker/> photos, <line> with its <point/>s
// and <Info/>, <Lap/> and <WayPoint/>); a browser's XML parser builds a node for each of a
// long track's million points, so the file is scanned here instead, tolerantly: any quote,
// spaces around '=', elements over several lines, comments. It reads what the XML parser
// gave: attribute values with their references decoded and their white space characters
// as spaces; only the photos, lines, laps and waypoints directly in the root element, and
// a line's own points and summary.
var TrevaloMarkers = (function () {
  'use strict';

  var ATTRIBUTE = /([^\s=\/<>'"]+)\s*=\s*(?:'([^']*)'|"([^"]*)")/g;
  var REFERENCE = /&(#x[0-9a-fA-F]+|#[0-9]+|amp|lt|gt|quot|apos);/g;
  var NAMED = { amp: '&', lt: '<', gt: '>', quot: '"', apos: "'" };

  function decode(raw) {
    // As an XML parser does: line ends first, then every white space character a space.
    var value = raw.replace(/\r\n?/g, '\n').replace(/[\t\n]/g, ' ');
    if (value.indexOf('&') < 0) {
      return value;
    }
    return value.replace(REFERENCE, function (whole, name) {
      if (name.charAt(0) !== '#') {
        return NAMED[name];
      }
      var code = name.charAt(1) === 'x' ? parseInt(name.slice(2), 16) : parseInt(name.slice(1), 10);
      try { return String.fromCodePoint(code); } catch (e) { return whole; }
    });
  }

  // The attributes of a start tag's text after its name, by name.
  function attributes(text) {
    var found = Object.create(null);  // a name such as "constructor" is only an attribute
    var match;
    ATTRIBUTE.lastIndex = 0;
    while ((match = ATTRIBUTE.exec(text)) !== null) {
      found[match[1]] = decode(match[2] !== undefined ? match[2] : match[3]);
    }
    return found;
  }

  function isSpace(c) { return c === 32 || c === 9 || c === 10 || c === 13; }

  // The number in quotes after "name" within text[from, end), read in place: a point's
  // coordinates are most of the file, and slicing them into strings costs more than reading
  // them. NaN when the attribute is not there in that form.
  function quotedNumber(text, name, from, end) {
    var at = text.indexOf(name, from);
    if (at < 0 || at >= end) {
      return NaN;
    }
    var i = at + name.length;
    while (i < end && isSpace(text.charCodeAt(i))) { i += 1; }
    if (text.charCodeAt(i) !== 61 /* = */) { return NaN; }
    i += 1;
    while (i < end && isSpace(text.charCodeAt(i))) { i += 1; }
    var quote = text.charCodeAt(i);
    if (quote !== 39 && quote !== 34) { return NaN; }
    var start = i + 1;
    i = start;
    var sign = 1;
    var c = text.charCodeAt(i);
    if (c === 45 /* - */ || c === 43 /* + */) {
      sign = c === 45 ? -1 : 1;
      i += 1;
    }
    var whole = 0;
    var digits = 0;
    while ((c = text.charCodeAt(i)) >= 48 && c <= 57) {
      whole = whole * 10 + (c - 48);
      i += 1;
      digits += 1;
    }
    var fraction = 0;
    var scale = 1;
    if (c === 46 /* . */) {
      i += 1;
      while ((c = text.charCodeAt(i)) >= 48 && c <= 57) {
        fraction = fraction * 10 + (c - 48);
        scale *= 10;
        i += 1;
        digits += 1;
      }
    }
    if (c === quote && digits > 0 && digits <= 15) {
      // Both integers are exact below 2^53: one rounding, the one parseFloat makes.
      return sign * ((whole * scale + fraction) / scale);
    }
    // An exponent, a long fraction or spaces: what parseFloat makes of it, as before.
    var close = text.indexOf(String.fromCharCode(quote), start);
    return close < 0 || close > end ? NaN : parseFloat(decode(text.slice(start, close)));
  }

  function coordinate(text, from, end, name, found) {
    var value = quotedNumber(text, ' ' + name, from, end);
    if (isNaN(value) && found === undefined) {
      found = attributes(text.slice(from, end));
    }
    return isNaN(value) && found ? parseFloat(found[name]) : value;
  }

  // A growing list of a line's coordinates.
  function Coordinates() {
    this.lat = new Float64Array(1024);
    this.lng = new Float64Array(1024);
    this.length = 0;
  }
  Coordinates.prototype.push = function (lat, lng) {
    if (this.length === this.lat.length) {
      var lat2 = new Float64Array(this.length * 2);
      var lng2 = new Float64Array(this.length * 2);
      lat2.set(this.lat);
      lng2.set(this.lng);
      this.lat = lat2;
      this.lng = lng2;
    }
    this.lat[this.length] = lat;
    this.lng[this.length] = lng;
    this.length += 1;
  };

  // The items of the file in their order: {kind: 'marker' | 'Lap' | 'WayPoint', attributes}
  // and {kind: 'line', attributes, info (the summary's attributes or null), lat, lng
  // (Float64Arrays of the points' coordinates)}. Points without two numbers are left out.
  function parse(text) {
    var items = [];
    var line = null;
    var coordinates = null;
    var depth = 0;  // elements open: 1 inside the root (<markers>), 2 inside a line
    var pos = 0;
    for (;;) {
      var open = text.indexOf('<', pos);
      if (open < 0) {
        break;
      }
      var first = text.charCodeAt(open + 1);
      if (first === 33 /* ! */ || first === 63 /* ? */) {
        var ending = text.startsWith('<!--', open) ? '-->' : '>';
        var skipped = text.indexOf(ending, open + 2);
        if (skipped < 0) {
          break;
        }
        pos = skipped + ending.length;
        continue;
      }
      var close = text.indexOf('>', open + 1);
      if (close < 0) {
        break;
      }
      pos = close + 1;
      var closing = first === 47; /* / */
      var nameStart = open + (closing ? 2 : 1);
      var nameEnd = nameStart;
      var c;
      while (nameEnd < close && !isSpace(c = text.charCodeAt(nameEnd)) && c !== 47) {
        nameEnd += 1;
      }
      var name = text.slice(nameStart, nameEnd);
      if (closing) {
        depth -= 1;
        if (depth <= 1) {
          line = null;
        }
        continue;
      }
      var level = depth;  // 0 for the root, 1 for its children
      if (text.charCodeAt(close - 1) !== 47) { /* not an empty element */
        depth += 1;
      }
      if (line) {
        if (level !== 2) {
          continue;
        }
        if (name === 'point') {
          var lat = coordinate(text, nameEnd, close, 'lat');
          var lng = coordinate(text, nameEnd, close, 'lng');
          if (isFinite(lat) && isFinite(lng)) {
            coordinates.push(lat, lng);
          }
        } else if (name === 'Info') {
          line.info = attributes(text.slice(nameEnd, close));
        }
      } else if (level === 1 && (name === 'marker' || name === 'Lap' || name === 'WayPoint')) {
        items.push({ kind: name, attributes: attributes(text.slice(nameEnd, close)) });
      } else if (level === 1 && name === 'line') {
        var item = { kind: 'line', attributes: attributes(text.slice(nameEnd, close)),
                     info: null, lat: null, lng: null };
        items.push(item);
        coordinates = new Coordinates();
        item.coordinates = coordinates;
        line = depth === 2 ? item : null;
      }
    }
    items.forEach(function (item) {
      if (item.kind === 'line') {
        item.lat = item.coordinates.lat.slice(0, item.coordinates.length);
        item.lng = item.coordinates.lng.slice(0, item.coordinates.length);
        delete item.coordinates;
      }
    });
    return items;
  }

  return { parse: parse };
}());
