ECHO Echo echo echo1 $echo __CLASS__ __halt_compiler include_once
function Foo() { return new self; }
IF ($x AND $y Or !$z xor true) { static::$q = NULL; }
abstract class Bar extends Baz implements Qux { public static function x(): int {} }
