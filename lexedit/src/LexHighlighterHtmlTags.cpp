// SPDX-License-Identifier: MIT
// The tables of the HTML highlighter: tag names and character entities.

#include "lexedit/LexHighlighterHtml.h"

#include "LexHighlighterKeywords.h"

namespace lexedit::html {

namespace {

// Tag names in lower case, opening and closing forms. There is no entry for br or hr. Names
// starting with "!" (or with "/!") are never found: the scan of a name stops at the "!".
constexpr TKeywordTable::TWords TagNameList = {
    u"!doctype",   u"/!doctype", u"/a",        u"/abbr",       u"/acronym",   u"/address",  u"/applet",
    u"/area",      u"/article",  u"/aside",    u"/audio",      u"/b",         u"/base",     u"/basefont",
    u"/bb",        u"/bdo",      u"/big",      u"/blockquote", u"/body",      u"/button",   u"/canvas",
    u"/caption",   u"/center",   u"/cite",     u"/code",       u"/col",       u"/colgroup", u"/command",
    u"/datalist",  u"/dd",       u"/del",      u"/details",    u"/dfn",       u"/dialog",   u"/dir",
    u"/div",       u"/dl",       u"/dt",       u"/em",         u"/embed",     u"/fieldset", u"/figcaption",
    u"/figure",    u"/font",     u"/footer",   u"/form",       u"/frame",     u"/frameset", u"/h1",
    u"/h2",        u"/h3",       u"/h4",       u"/h5",         u"/h6",        u"/head",     u"/header",
    u"/hgroup",    u"/html",     u"/i",        u"/iframe",     u"/img",       u"/input",    u"/ins",
    u"/kbd",       u"/keygen",   u"/label",    u"/layer",      u"/legend",    u"/li",       u"/link",
    u"/map",       u"/mark",     u"/marquee",  u"/menu",       u"/meta",      u"/meter",    u"/multicol",
    u"/nav",       u"/nobr",     u"/noembed",  u"/noframes",   u"/nolayer",   u"/noscript", u"/object",
    u"/ol",        u"/optgroup", u"/option",   u"/output",     u"/p",         u"/param",    u"/pre",
    u"/progress",  u"/q",        u"/rp",       u"/rt",         u"/ruby",      u"/s",        u"/samp",
    u"/script",    u"/section",  u"/select",   u"/server",     u"/small",     u"/source",   u"/span",
    u"/strike",    u"/strong",   u"/style",    u"/sub",        u"/summary",   u"/sup",      u"/table",
    u"/tbody",     u"/td",       u"/textarea", u"/tfoot",      u"/th",        u"/thead",    u"/time",
    u"/title",     u"/tr",       u"/track",    u"/tt",         u"/u",         u"/ul",       u"/var",
    u"/video",     u"/wbr",      u"/xmp",      u"a",           u"abbr",       u"acronym",   u"address",
    u"applet",     u"area",      u"article",   u"aside",       u"audio",      u"b",         u"base",
    u"basefont",   u"bb",        u"bdo",       u"big",         u"blockquote", u"body",      u"button",
    u"canvas",     u"caption",   u"center",    u"cite",        u"code",       u"col",       u"colgroup",
    u"command",    u"datalist",  u"dd",        u"del",         u"details",    u"dfn",       u"dialog",
    u"dir",        u"div",       u"dl",        u"dt",          u"em",         u"embed",     u"fieldset",
    u"figcaption", u"figure",    u"font",      u"footer",      u"form",       u"frame",     u"frameset",
    u"h1",         u"h2",        u"h3",        u"h4",          u"h5",         u"h6",        u"head",
    u"header",     u"hgroup",    u"html",      u"i",           u"iframe",     u"img",       u"input",
    u"ins",        u"kbd",       u"keygen",    u"label",       u"layer",      u"legend",    u"li",
    u"link",       u"map",       u"mark",      u"marquee",     u"menu",       u"meta",      u"meter",
    u"multicol",   u"nav",       u"nobr",      u"noembed",     u"noframes",   u"nolayer",   u"noscript",
    u"object",     u"ol",        u"optgroup",  u"option",      u"output",     u"p",         u"param",
    u"pre",        u"progress",  u"q",         u"rp",          u"rt",         u"ruby",      u"s",
    u"samp",       u"script",    u"section",   u"select",      u"server",     u"small",     u"source",
    u"span",       u"strike",    u"strong",    u"style",       u"sub",        u"summary",   u"sup",
    u"lexedit",    u"table",     u"tbody",     u"td",          u"textarea",   u"tfoot",     u"th",
    u"thead",      u"time",      u"title",     u"tr",          u"track",      u"tt",        u"u",
    u"ul",         u"var",       u"video",     u"wbr",         u"xmp",
};

} // namespace

constexpr TKeywordTable TagNames(TagNameList);
static_assert(TagNames.Distinct(), "every tag name must own its slot");

// Character entities, searched in this order.
const std::array<const char16_t *, MAX_ESCAPEAMPS> EscapeAmps = {
    u"&Alpha;",    u"&Beta;",   u"&Gamma;",   u"&Delta;",   u"&Epsilon;", u"&Zeta;",    u"&Eta;",
    u"&Theta;",    u"&Iota;",   u"&Kappa;",   u"&Lambda;",  u"&Mu;",      u"&Nu;",      u"&Xi;",
    u"&Omicron;",  u"&Pi;",     u"&Rho;",     u"&Sigma;",   u"&Tau;",     u"&Upsilon;", u"&Phi;",
    u"&Chi;",      u"&Psi;",    u"&Omega;",   u"&alpha;",   u"&beta;",    u"&gamma;",   u"&delta;",
    u"&epsilon;",  u"&zeta;",   u"&eta;",     u"&theta;",   u"&iota;",    u"&kappa;",   u"&lambda;",
    u"&mu;",       u"&nu;",     u"&xi;",      u"&omicron;", u"&pi;",      u"&rho;",     u"&sigmaf;",
    u"&sigma;",    u"&tau;",    u"&upsilon;", u"&phi;",     u"&chi;",     u"&psi;",     u"&omega;",
    u"&thetasym;", u"&upsih;",  u"&piv;",     u"&bull;",    u"&hellip;",  u"&prime;",   u"&Prime;",
    u"&oline;",    u"&frasl;",  u"&weierp;",  u"&image;",   u"&real;",    u"&trade;",   u"&alefsym;",
    u"&larr;",     u"&uarr;",   u"&rarr;",    u"&darr;",    u"&harr;",    u"&crarr;",   u"&lArr;",
    u"&uArr;",     u"&rArr;",   u"&dArr;",    u"&hArr;",    u"&forall;",  u"&part;",    u"&exist;",
    u"&empty;",    u"&nabla;",  u"&isin;",    u"&notin;",   u"&ni;",      u"&prod;",    u"&sum;",
    u"&minus;",    u"&lowast;", u"&radic;",   u"&prop;",    u"&infin;",   u"&ang;",     u"&and;",
    u"&or;",       u"&cap;",    u"&cup;",     u"&int;",     u"&there4;",  u"&sim;",     u"&cong;",
    u"&asymp;",    u"&ne;",     u"&equiv;",   u"&le;",      u"&ge;",      u"&sub;",     u"&sup;",
    u"&nsub;",     u"&sube;",   u"&supe;",    u"&oplus;",   u"&otimes;",  u"&perp;",    u"&sdot;",
    u"&lceil;",    u"&rceil;",  u"&lfloor;",  u"&rfloor;",  u"&lang;",    u"&rang;",    u"&loz;",
    u"&spades;",   u"&clubs;",  u"&hearts;",  u"&diams;",   u"&lsquo;",   u"&rsquo;",   u"&sbquo;",
    u"&ldquo;",    u"&rdquo;",  u"&bdquo;",   u"&dagger;",  u"&Dagger;",  u"&permil;",  u"&lsaquo;",
    u"&rsaquo;",   u"&quot;",   u"&amp;",     u"&lt;",      u"&gt;",      u"&ndash;",   u"&mdash;",
    u"&nbsp;",     u"&thinsp;", u"&ensp;",    u"&emsp;",    u"&iexcl;",   u"&cent;",    u"&pound;",
    u"&curren;",   u"&yen;",    u"&brvbar;",  u"&brkbar;",  u"&sect;",    u"&uml;",     u"&die;",
    u"&copy;",     u"&ordf;",   u"&laquo;",   u"&not;",     u"&shy;",     u"&reg;",     u"&macr;",
    u"&hibar;",    u"&deg;",    u"&plusmn;",  u"&sup2;",    u"&sup3;",    u"&acute;",   u"&micro;",
    u"&para;",     u"&middot;", u"&cedil;",   u"&sup1;",    u"&ordm;",    u"&raquo;",   u"&frac14;",
    u"&frac12;",   u"&frac34;", u"&iquest;",  u"&Agrave;",  u"&Aacute;",  u"&Acirc;",   u"&Atilde;",
    u"&Auml;",     u"&Aring;",  u"&AElig;",   u"&Ccedil;",  u"&Egrave;",  u"&Eacute;",  u"&Ecirc;",
    u"&Euml;",     u"&Igrave;", u"&Iacute;",  u"&Icirc;",   u"&Iuml;",    u"&ETH;",     u"&Ntilde;",
    u"&Ograve;",   u"&Oacute;", u"&Ocirc;",   u"&Otilde;",  u"&Ouml;",    u"&times;",   u"&Oslash;",
    u"&Ugrave;",   u"&Uacute;", u"&Ucirc;",   u"&Uuml;",    u"&Yacute;",  u"&THORN;",   u"&szlig;",
    u"&agrave;",   u"&aacute;", u"&acirc;",   u"&atilde;",  u"&auml;",    u"&aring;",   u"&aelig;",
    u"&ccedil;",   u"&egrave;", u"&eacute;",  u"&ecirc;",   u"&euml;",    u"&igrave;",  u"&iacute;",
    u"&icirc;",    u"&iuml;",   u"&eth;",     u"&ntilde;",  u"&ograve;",  u"&oacute;",  u"&ocirc;",
    u"&otilde;",   u"&ouml;",   u"&divide;",  u"&oslash;",  u"&ugrave;",  u"&uacute;",  u"&ucirc;",
    u"&uuml;",     u"&yacute;", u"&thorn;",   u"&yuml;",    u"&euro;",    u"&OElig;",   u"&oelig;",
    u"&scaron;",   u"&Scaron;", u"&fnof;",    u"&circ;",
};

} // namespace lexedit::html
